// The sources manager: additions (normalised, duplicates, the plain-http warning, the
// owner's authentication), removals, and refresh batches.
#include <gtest/gtest.h>

#include <atomic>

#include "support/SourceRefreshFixture.h"
#include "core/KVPlatform.h"
#include "database/KVParsingUtility.h"
#include "foundation/DateFormatter.h"
#include "foundation/NotificationCenter.h"
#include "support/FileSizeCeiling.h"
#include "support/Latch.h"
#include "support/Written.h"

namespace {

class SourcesManager : public SourceRefreshFixture {
 protected:
  std::vector<std::string> locations() {
    std::vector<std::string> out;
    for (const auto& v : db()->objects(KVRSource::className()).valuesForKey("location")) out.push_back(v.asString());
    return out;
  }
  // Waits for the background addition and the refresh it queues.
  void settle() {
    DispatchQueue::drainGlobalQueues();
    waitForPipeline();
  }
};

TEST_F(SourcesManager, ALocationIsStoredWithItsSlashAndOnceUnderEitherScheme) {
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0"));
  std::string bare = location.substr(0, location.size() - 1);
  EXPECT_TRUE(manager().addSourceWithLocation(bare, true));
  settle();
  EXPECT_EQ(locations(), std::vector<std::string>{location});
  EXPECT_TRUE(package("com.example.one")) << "an added source is refreshed";

  std::string other = "https://" + location.substr(7);
  EXPECT_FALSE(manager().addSourceWithLocation(other, true));
  EXPECT_FALSE(manager().addSourceWithLocation(other.substr(0, other.size() - 1), true));
  EXPECT_FALSE(manager().addSourceWithLocation(location, true));
  settle();
  EXPECT_EQ(locations(), std::vector<std::string>{location});
  EXPECT_EQ(source(location)->seeOriginalDepictions(), false);
}

// Typed text reaches the sources list, file names and requests: only an http or https
// address without blanks or control characters is taken.
TEST_F(SourcesManager, TextThatIsNoHttpAddressIsRefusedWithItsReason) {
  for (const char* text : {"http://", "https://", "repo.example/", "ftp://repo.example/", "https://repo example/",
                           "https://repo.example/\napt", "https://repo.example/a\tb/", "https:///path/", "http://[/",
                           "file:///etc/", "", "[trusted=yes] https://repo.example/", "https://repo.example/ stable main #",
                           "https://repo.example/a\vb/", "https://repo.example/a\fb/", "https://repo.example/a#b/",
                           "https://repo.example/a\xC2\xA0" "b/", "https://repo.example/a\"b/"}) {
    EXPECT_FALSE(manager().addSourceWithLocation(text, true)) << text;
  }
  settle();
  EXPECT_TRUE(locations().empty());
  // Each says why, but the bare schemes a form starts with.
  EXPECT_EQ(root->cards().size(), 16u);
  for (const auto& card : root->cards()) EXPECT_EQ(card.title, "Invalid Source");
  EXPECT_EQ(root->cards().back().message,
            "https://repo.example/a\"b/ can't be added: a source location can't hold \"\"\", which APT reads as a quote.");
}

TEST_F(SourcesManager, TwoQuickAdditionsOfOneRepositoryAddItOnce) {
  std::string location = locationOf("repo");
  EXPECT_TRUE(manager().addSourceWithLocation(location, true));
  EXPECT_TRUE(manager().addSourceWithLocation("https://" + location.substr(7), true));
  settle();
  EXPECT_EQ(locations().size(), 1u);
}

TEST_F(SourcesManager, APlainHttpSourceWaitsForTheWarningsContinue) {
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0"));
  EXPECT_FALSE(manager().addSourceWithLocation(location, false, true));
  RunLoop::main().runUntilIdle();
  ASSERT_EQ(root->cards().size(), 1u);
  KVAlertCard card = root->cards()[0];
  EXPECT_EQ(card.title, "Warning");
  EXPECT_EQ(card.message,
            "You are trying to add a source with http:// instead of default https://.\nAs it is less secure, are you "
            "sure you want to add it?");
  EXPECT_EQ(card.closeTitle, "Cancel");
  EXPECT_EQ(card.otherTitle, "Continue");
  settle();
  EXPECT_TRUE(locations().empty()) << "nothing is added before the approval";

  card.otherAction();
  settle();
  EXPECT_EQ(locations(), std::vector<std::string>{location});
  EXPECT_EQ(source(location)->seeOriginalDepictions(), false) << "the approval adds with the default depictions";
  EXPECT_TRUE(package("com.example.one"));
}

TEST_F(SourcesManager, TheOwnersAuthenticationGuardsAdditionsWhenTheSettingsAskForIt) {
  preferences().setObject(Value(true), "AuthenticationForPackagesManagementTasks");
  std::string location = "https://repo.example/apt/";

  EXPECT_TRUE(manager().addSourceWithLocation(location, false));
  settle();
  RunLoop::main().runUntil([&] { return root->cards().size() == 1; });
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].title, "Quillbark Authentication");
  EXPECT_EQ(root->cards()[0].message,
            "Your device can't use FaceID, TouchID or password authentication at the moment. Most likely you haven't "
            "set it up in Settings.");
  EXPECT_EQ(root->cards()[0].closeTitle, "Close");
  EXPECT_TRUE(root->cards()[0].otherTitle.empty());

  root->setOwnerAuthentication(KVOwnerAuthentication::Failed);
  EXPECT_TRUE(manager().addSourceWithLocation(location, false));
  settle();
  RunLoop::main().runUntil([&] { return root->cards().size() == 2; });
  ASSERT_EQ(root->cards().size(), 2u);
  EXPECT_EQ(root->cards()[1].message, "Failed to authenticate yourself. Try again.");
  EXPECT_TRUE(locations().empty());

  root->setOwnerAuthentication(KVOwnerAuthentication::Succeeded);
  EXPECT_TRUE(manager().addSourceWithLocation(location, false));
  settle();
  EXPECT_EQ(locations(), std::vector<std::string>{location});
  EXPECT_EQ(root->authenticationReasons().back(), "Please authenticate yourself to add " + location);
}

TEST_F(SourcesManager, ExistenceIsAskedUnderBothSchemes) {
  addSourceRecord("http://repo.example/apt/");
  EXPECT_TRUE(KVRSources::sourceExists("https://repo.example/apt/"));
  EXPECT_TRUE(KVRSources::sourceExists("http://repo.example/apt/"));
  EXPECT_FALSE(KVRSources::sourceExists("http://repo.example/other/"));
  EXPECT_TRUE(KVRSources::sourceExists("repo.example/apt/")) << "a text without a scheme answers YES";
  EXPECT_EQ(manager().arrayOfConfiguredSources(), std::vector<std::string>{"http://repo.example/apt/"});
  EXPECT_EQ(manager().sources().size(), 1u);
}

TEST_F(SourcesManager, NothingIsRefreshedBeforeTheFirstRunSetUpOrWithoutANetwork) {
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0"));
  addSourceRecord(location);
  preferences().setObject(Value(false), "setupDone");
  EXPECT_FALSE(manager().refreshAllSources());
  manager().refreshSource(location);
  settle();
  EXPECT_EQ(server.requestCount(), 0u);

  preferences().setObject(Value(true), "setupDone");
  Reachability::overrideFlags(0);
  EXPECT_FALSE(manager().refreshAllSources());
  settle();
  EXPECT_EQ(server.requestCount(), 0u);

  // Mobile data is a network too.
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
  EXPECT_TRUE(manager().refreshAllSources());
  settle();
  EXPECT_TRUE(package("com.example.one"));
}

TEST_F(SourcesManager, ARefreshOfAllSourcesSharesOneDateAndEndsItsBatch) {
  std::string one = serveIndex("one", stanza("com.example.one", "1.0"));
  std::string two = serveIndex("two", stanza("com.example.two", "1.0"));
  addSourceRecord(one);
  addSourceRecord(two);
  std::atomic<int> batchEnds{0};
  auto token = NotificationCenter::defaultCenter().addObserver(KVPipelineSourceRefreshComplete,
                                                               [&](const Notification&) { ++batchEnds; });
  uint64_t writes = preferences().writeCount();
  ASSERT_TRUE(manager().refreshAllSources());
  // The batch date is saved at once, not a second later.
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return preferences().writeCount() > writes; }));
  auto batch = manager().currentRefreshDate();
  ASSERT_TRUE(batch);
  EXPECT_EQ(*preferences().objectForKey("lastRefreshDate").datePtr(), *batch);
  settle();
  token.invalidate();

  std::string text = KVParsingUtility::refreshDateFormatter().format(*batch);
  EXPECT_EQ(package("com.example.one")->updatedDateStr(), text);
  EXPECT_EQ(package("com.example.two")->initialDateStr(), text);
  EXPECT_EQ(source(one)->lastrefresh(), batch);
  EXPECT_FALSE(manager().isRefreshInProgress());
  EXPECT_FALSE(manager().currentRefreshDate());
  EXPECT_EQ(batchEnds.load(), 1);
}

TEST_F(SourcesManager, RefreshesDuringABatchJoinItAndASingleRefreshSavesNoDate) {
  manager().setIsRefreshInProgress(true, false);
  auto batch = manager().currentRefreshDate();
  ASSERT_TRUE(batch);
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0"));
  addSourceRecord(location);
  manager().refreshSource(location);
  manager().refreshSources({location});
  EXPECT_EQ(manager().currentRefreshDate(), batch);
  settle();
  EXPECT_EQ(package("com.example.one")->initialDate(), batch);
  EXPECT_TRUE(preferences().objectForKey("lastRefreshDate").isNull());
}

// A batch with no task in it would never be ended by the pipeline.
TEST_F(SourcesManager, ARefreshOfNoSourceLeavesNoBatchBehind) {
  EXPECT_TRUE(manager().refreshAllSources());
  settle();
  EXPECT_FALSE(manager().isRefreshInProgress());
  EXPECT_FALSE(manager().currentRefreshDate());
}

// The status re-read starts only once the source's records are gone, so the installed
// package it brings back as dpkg's is not deleted after it.
TEST_F(SourcesManager, ARemovalTakesEverythingAndGivesInstalledPackagesBackToDpkg) {
  std::string location = serveIndex("repo", stanza("com.example.tool", "1.0") + stanza("com.example.other", "1.0"));
  ASSERT_TRUE(refresh(location));
  std::string listed = listFilePath(location);
  ASSERT_TRUE(Files::exists(listed));
  ASSERT_TRUE(Files::exists(KVRSources::keptIndexPath(location)));
  // dpkg has the tool installed.
  std::string status = deviceRoot().hostPath("/var/lib/dpkg/status");
  auto text = Files::readText(status).value_or("");
  ASSERT_TRUE(Files::writeAtomically(status, text + "\nPackage: com.example.tool\nStatus: install ok installed\n"
                                                    "Version: 1.0\nArchitecture: iphoneos-arm\nMaintainer: Someone\n"
                                                    "Description: a tool\n"));
  written(db()->write([&] {
    auto tool = *package("com.example.tool");
    tool.setIsInstalled(true);
    db()->addOrUpdate(tool.toObject());
  }));
  std::atomic<int> updates{0};
  std::atomic<bool> withObject{false};
  auto token = NotificationCenter::defaultCenter().addObserver(KVRSourceUpdatedNotification, [&](const Notification& n) {
    ++updates;
    withObject = withObject || !n.object.isNull();
  });

  EXPECT_TRUE(manager().removeSourceWithLocation(location));
  RunLoop::main().runUntil([&] { return updates.load() == 1; });
  DispatchQueue::drainGlobalQueues();
  RunLoop::main().runUntilIdle();
  token.invalidate();

  EXPECT_EQ(updates.load(), 1);
  EXPECT_FALSE(withObject.load());
  EXPECT_FALSE(source(location));
  EXPECT_FALSE(package("com.example.other"));
  EXPECT_TRUE(KVRPackageVersion::objectsWhere("source = %@", location).empty());
  EXPECT_FALSE(Files::exists(listed));
  EXPECT_FALSE(Files::exists(KVRSources::keptIndexPath(location)));
  EXPECT_EQ(sourcesList().find(location), std::string::npos);
  auto tool = package("com.example.tool");
  ASSERT_TRUE(tool) << "the installed package is dpkg's again";
  EXPECT_EQ(tool->sourceLocation(), KVRPackage::kDPKGSourceLocation);
}

// An addition or a removal the disk refuses was taken as started by whoever asked: a
// card says it did not happen, and why.
TEST_F(SourcesManager, AnAdditionOrARemovalTheDiskRefusesSaysSoOnACard) {
  std::string location = serveIndex("repo", stanza("com.example.one", "1.0"));
  {
    FileSizeCeiling full(1);  // every write of the database's files fails, as on a full disk
    EXPECT_TRUE(manager().addSourceWithLocation(location, true));
    DispatchQueue::drainGlobalQueues();
    RunLoop::main().runUntil([&] { return !root->cards().empty(); }, 30);
  }
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].title, "Source Error");
  EXPECT_EQ(root->cards()[0].message.rfind(location + " could not be added: ", 0), 0u) << root->cards()[0].message;
  settle();
  EXPECT_TRUE(locations().empty());

  ASSERT_TRUE(refresh(location));
  {
    FileSizeCeiling full(1);
    EXPECT_TRUE(manager().removeSourceWithLocation(location));
    DispatchQueue::drainGlobalQueues();
    RunLoop::main().runUntil([&] { return root->cards().size() == 2; }, 30);
  }
  ASSERT_EQ(root->cards().size(), 2u);
  EXPECT_EQ(root->cards()[1].message.rfind(location + " could not be removed: ", 0), 0u) << root->cards()[1].message;
  EXPECT_TRUE(source(location)) << "it is still there, as the card says";
}

// A package another source offers too stays queued when one of its sources goes (the
// record is that other source's now); what came from the removed source alone leaves the
// queue, and a card names it: a package of no other source, and one queued at a version
// only the removed source offered.
TEST_F(SourcesManager, ARemovalUnqueuesOnlyItsOwnPackagesAndSaysSo) {
  std::string kept = serveIndex("kept", stanza("com.example.shared", "1.0") + stanza("com.example.pinned", "1.0"));
  std::string gone = serveIndex("gone", stanza("com.example.shared", "2.0") + stanza("com.example.pinned", "2.0") +
                                            stanza("com.example.own", "1.0", {{"Name", "Own Thing"}}));
  ASSERT_TRUE(refresh(kept));
  ASSERT_TRUE(refresh(gone));
  ASSERT_EQ(package("com.example.shared")->sourceLocation(), gone) << "the last refresh's, at its newer version";
  for (const auto& [identifier, version] : std::vector<std::pair<std::string, std::optional<std::string>>>{
           {"com.example.shared", std::nullopt}, {"com.example.pinned", "2.0"}, {"com.example.own", std::nullopt}})
    written(db()->write([&] {
      auto p = *package(identifier);
      p.setIsInTheQueue(true);
      p.setQueuedVersion(version);
      p.setQueueOperation(1);
      db()->addOrUpdate(p.toObject());
    }));

  EXPECT_TRUE(manager().removeSourceWithLocation(gone));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !source(gone) && !root->cards().empty(); }));

  auto shared = package("com.example.shared");
  ASSERT_TRUE(shared);
  EXPECT_TRUE(shared->isInTheQueue().value_or(false)) << "the other source offers it";
  EXPECT_EQ(shared->sourceLocation(), kept);
  EXPECT_EQ(shared->version(), "1.0");
  EXPECT_EQ(shared->location(), kept + "debs/com.example.shared_1.0.deb") << "fetched from where it is offered now";
  ASSERT_TRUE(package("com.example.pinned"));
  EXPECT_FALSE(package("com.example.pinned")->isInTheQueue().value_or(false)) << "its chosen version went with it";
  EXPECT_FALSE(package("com.example.own"));
  ASSERT_EQ(root->cards().size(), 1u);
  EXPECT_EQ(root->cards()[0].title, "Removed From the Queue");
  EXPECT_NE(root->cards()[0].message.find("Own Thing"), std::string::npos) << root->cards()[0].message;
  EXPECT_NE(root->cards()[0].message.find("com.example.pinned"), std::string::npos) << root->cards()[0].message;
  EXPECT_EQ(root->cards()[0].message.find("com.example.shared"), std::string::npos) << root->cards()[0].message;
}

}  // namespace
