// The refresh of one source over real HTTP on 127.0.0.1: the Release and Packages
// requests, their conditional forms, the candidates, the kept copy and every end.
#include <algorithm>
#include <random>
#include <set>

#include "core/KVReplyLimits.h"
#include "core/KVConnections.h"
#include "database/KVSourceRefresh.h"
#include "foundation/NotificationCenter.h"
#include "support/InflatingBody.h"
#include "support/Latch.h"
#include "support/PeakMemory.h"
#include "support/SourceRefreshFixture.h"
#include "support/Written.h"

namespace {

class SourceRefresh : public SourceRefreshFixture {
 protected:
  void removeFiles(const std::string& folder, std::initializer_list<const char*> names) {
    for (const char* name : names) Files::removeItem(repositories.file(folder) + "/" + name);
  }
};

const std::string kIndex = stanza("com.example.one", "1.0", {{"Name", "One"}, {"Section", "Tweaks"}}) +
                           stanza("com.example.two", "2.0");

TEST_F(SourceRefresh, ARepositoryBecomesPackageRecordsAndAPTListFiles) {
  std::string location = serveIndex("repo", kIndex);
  ASSERT_TRUE(refresh(location));
  auto one = package("com.example.one");
  ASSERT_TRUE(one);
  EXPECT_EQ(one->name(), "One");
  EXPECT_EQ(one->category(), "Tweaks");
  EXPECT_EQ(one->sourceLocation(), location);
  EXPECT_EQ(packagesOf(location).size(), 2u);
  auto record = source(location);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->name(), "Test Repository");
  EXPECT_EQ(record->Description(), "Packages for tests");
  EXPECT_EQ(record->maintainer(), "Test");
  EXPECT_EQ(record->category(), "Repository");
  EXPECT_EQ(record->totalPackages(), "2");
  EXPECT_EQ(record->hasErrors(), false);
  EXPECT_EQ(record->hasEndpoint(), false);
  // The endpoint question goes out beside the Release request.
  auto names = requestedNames("repo");
  ASSERT_EQ(names.size(), 3u);
  EXPECT_EQ(std::set<std::string>(names.begin(), names.begin() + 2), (std::set<std::string>{"Release", "payment_endpoint"}));
  EXPECT_EQ(names[2], "Packages.xz");
  // The repository headers go with each request.
  EXPECT_FALSE(server.requestsTo("/repo/Packages.xz").at(0).header("X-Machine").empty());
  EXPECT_EQ(listFile(location), kIndex);
  EXPECT_NE(sourcesList().find("deb " + location + " ./"), std::string::npos);
}

TEST_F(SourceRefresh, CandidatesAreTriedInOrderUntilOneExists) {
  std::string location = serveIndex("gz", kIndex);
  removeFiles("gz", {"Packages.xz", "Packages.lzma", "Packages.bz2", "Packages"});
  ASSERT_TRUE(refresh(location));
  auto names = requestedNames("gz");
  names.erase(std::remove(names.begin(), names.end(), "payment_endpoint"), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Release", "Packages.xz", "Packages.lzma", "Packages.bz2", "Packages.gz"}));
  EXPECT_EQ(packagesOf(location).size(), 2u);

  std::string plain = serveIndex("plain", kIndex);
  removeFiles("plain", {"Packages.xz", "Packages.lzma", "Packages.bz2", "Packages.gz"});
  ASSERT_TRUE(refresh(plain));
  EXPECT_EQ(requestedNames("plain").back(), "Packages");
  EXPECT_EQ(listFile(plain), kIndex);
  EXPECT_EQ(packagesOf(plain).size(), 2u);

  // Nothing at all: the last candidate's answer fails the refresh.
  std::string none = serveIndex("none", kIndex);
  removeFiles("none", {"Packages.xz", "Packages.lzma", "Packages.bz2", "Packages.gz", "Packages"});
  ASSERT_TRUE(refresh(none));
  EXPECT_EQ(source(none)->hasErrors(), true);
  EXPECT_EQ(source(none)->Description(), "The server responded with invalid data.");
}

TEST_F(SourceRefresh, AMissingReleaseFailsBeforeAnyPackagesRequest) {
  std::string location = serveIndex("repo", kIndex);
  removeFiles("repo", {"Release"});
  ASSERT_TRUE(refresh(location));
  auto record = source(location);
  EXPECT_EQ(record->hasErrors(), true);
  EXPECT_EQ(record->Description(), "The server responded with invalid data.");
  EXPECT_TRUE(record->lastrefresh());
  for (const auto& name : requestedNames("repo")) EXPECT_EQ(name.find("Packages"), std::string::npos) << name;
  EXPECT_TRUE(packagesOf(location).empty());
}

// The Release step writes "no errors" and the failure exit "has errors"; a task's writes
// are made in order, so a failed source never ends up shown healthy.
TEST_F(SourceRefresh, AFailureAfterTheReleaseIsWhatTheSourceShows) {
  std::string location = serveIndex("repo", kIndex);
  removeFiles("repo", {"Packages.xz", "Packages.lzma", "Packages.bz2", "Packages.gz", "Packages"});
  for (int round = 0; round < 5; ++round) {
    ASSERT_TRUE(refresh(location));
    EXPECT_EQ(source(location)->hasErrors(), true);
  }
}

TEST_F(SourceRefresh, ASecondRefreshAsksOnlyForChanges) {
  std::string location = serveIndex("repo", kIndex);
  ASSERT_TRUE(refresh(location));
  auto first = source(location)->lastrefresh();
  server.clearRequests();
  ASSERT_TRUE(refresh(location));
  auto release = server.requestsTo("/repo/Release");
  auto packages = server.requestsTo("/repo/Packages.xz");
  ASSERT_EQ(release.size(), 1u);
  ASSERT_EQ(packages.size(), 1u);
  EXPECT_FALSE(release[0].header("If-Modified-Since").empty());
  EXPECT_FALSE(packages[0].header("If-Modified-Since").empty());
  // Both answered "not modified": nothing changed, not even the refresh date.
  EXPECT_EQ(source(location)->lastrefresh(), first);
  EXPECT_EQ(packagesOf(location).size(), 2u);

  // With a full refresh asked for, nothing is conditional and the index is parsed again.
  preferences().setObject(Value(true), "NeedsFullRefresh");
  written(db()->write([&] { db()->deleteObject(*db()->objectForPrimaryKey(KVRPackage::className(), "com.example.two")); }));
  server.clearRequests();
  ASSERT_TRUE(refresh(location));
  for (const auto& r : server.requests()) EXPECT_FALSE(r.hasHeader("If-Modified-Since")) << r.path;
  EXPECT_TRUE(package("com.example.two"));
}

// A server that ignores conditional requests sends the same bytes again: the index equals
// the kept copy and is not parsed.
TEST_F(SourceRefresh, TheSameIndexTwiceIsNotParsedAgain) {
  std::string location = serveIndex("repo", kIndex);
  auto xz = Files::readText(repositories.file("repo/Packages.xz")).value();
  server.respond("/repo/Packages.xz", TestHttpResponse::text(xz));
  ASSERT_TRUE(refresh(location));
  written(db()->write([&] { db()->deleteObject(*db()->objectForPrimaryKey(KVRPackage::className(), "com.example.two")); }));
  written(db()->write([&] {
    auto record = *source(location);
    record.setHasErrors(true);
    db()->addOrUpdate(record.toObject());
  }));
  ASSERT_TRUE(refresh(location));
  EXPECT_FALSE(package("com.example.two")) << "the unchanged index was parsed";
  EXPECT_EQ(source(location)->hasErrors(), false);
}

// A database that was reset (or a source removed and added again) starts from new source
// records: their index is applied even though the files on disk say it is unchanged.
TEST_F(SourceRefresh, ANewRecordOfAKnownSourceGetsItsPackagesAgain) {
  std::string location = serveIndex("repo", kIndex);
  auto xz = Files::readText(repositories.file("repo/Packages.xz")).value();
  server.respond("/repo/Packages.xz", TestHttpResponse::text(xz));
  ASSERT_TRUE(refresh(location));
  written(db()->write([&] { db()->deleteAll(); }));
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(packagesOf(location).size(), 2u);
  EXPECT_EQ(source(location)->totalPackages(), "2");
}

TEST_F(SourceRefresh, AChangedIndexDeletesStalePackagesButKeepsInstalledOnes) {
  std::string location = serveIndex("repo", kIndex + stanza("com.example.kept", "1.0"));
  ASSERT_TRUE(refresh(location));
  written(db()->write([&] {
    auto kept = *package("com.example.kept");
    kept.setIsInstalled(true);
    db()->addOrUpdate(kept.toObject());
  }));
  serveIndex("repo", stanza("com.example.one", "1.1") + stanza("com.example.three", "1.0"));
  ageListFiles(location);
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(package("com.example.one")->version(), "1.1");
  EXPECT_TRUE(package("com.example.three"));
  EXPECT_FALSE(package("com.example.two"));
  EXPECT_TRUE(package("com.example.kept"));
  EXPECT_EQ(source(location)->totalPackages(), "3");
  auto removals = root->packages->cachedImageRemovals();
  EXPECT_NE(std::find(removals.begin(), removals.end(), "com.example.two"), removals.end());
  EXPECT_NE(std::find(removals.begin(), removals.end(), "com.example.one"), removals.end()) << "a new version";
}

// A gzip file under the .xz name: the decoded index still starts with a compressed
// signature. Nothing of the old index is lost: records, list file.
TEST_F(SourceRefresh, AnIndexThatCannotBeDecodedFailsAndTouchesNothing) {
  std::string location = serveIndex("repo", kIndex);
  ASSERT_TRUE(refresh(location));
  std::string kept = KVRSources::keptIndexPath(location);
  ASSERT_TRUE(Files::exists(kept));

  serveIndex("repo", stanza("com.example.other", "1.0"));
  server.respond("/repo/Packages.xz", TestHttpResponse::text(Files::readText(repositories.file("repo/Packages.gz")).value()));
  server.clearRequests();
  preferences().setObject(Value(true), "NeedsFullRefresh");
  ASSERT_TRUE(refresh(location));
  auto record = source(location);
  EXPECT_EQ(record->hasErrors(), true);
  EXPECT_EQ(record->Description(),
            "Decompression failed, you should consider reporting this issue to the Korvale team if the issue persists");
  EXPECT_FALSE(Files::exists(kept)) << "the kept copy goes, so the next refresh cannot skip the parse";
  EXPECT_EQ(listFile(location), kIndex);
  EXPECT_TRUE(package("com.example.one"));
  EXPECT_FALSE(package("com.example.other"));

  // A truncated XZ file fails the same way.
  auto xz = Files::readText(repositories.file("repo/Packages.xz")).value();
  server.respond("/repo/Packages.xz", TestHttpResponse::text(xz.substr(0, xz.size() / 2)));
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(source(location)->hasErrors(), true);
  EXPECT_TRUE(package("com.example.one"));
}

// What APT would refuse whole (and every command with it) is no index: random bytes, a
// web page, a stanza that names no package, blank lines. The refresh fails with the
// reason; the records, the list file and the kept copy stay as the last index left them.
TEST_F(SourceRefresh, AnIndexAPTCouldNotReadFailsAndTouchesNothing) {
  std::string location = serveIndex("repo", kIndex);
  ASSERT_TRUE(refresh(location));
  const std::string kept = Files::readText(KVRSources::keptIndexPath(location)).value_or("");
  std::mt19937 random(45);
  std::string bytes(20000, '\0');
  for (auto& byte : bytes) byte = static_cast<char>(random());
  const std::pair<std::string, std::string> cases[] = {
      {bytes, "it holds binary data or lines that are no fields"},
      {"<html>\n<body>Not Found</body>\n</html>\n", "it holds binary data or lines that are no fields"},
      {stanza("com.example.other", "1.0") + "Version: 1.0\nDescription: no package\n\n", "an entry that names no package"},
      {"\n\n\n", "nothing in it names a package"}};
  for (const auto& [index, reason] : cases) {
    SCOPED_TRACE(reason);
    serveIndex("repo", index);
    ageListFiles(location);
    ASSERT_TRUE(refresh(location));
    auto record = source(location);
    EXPECT_EQ(record->hasErrors(), true);
    EXPECT_NE(record->Description().value_or("").find(reason), std::string::npos) << record->Description().value_or("");
    EXPECT_EQ(listFile(location), kIndex);
    EXPECT_EQ(Files::readText(KVRSources::keptIndexPath(location)), kept);
    EXPECT_EQ(packagesOf(location).size(), 2u);
    EXPECT_FALSE(package("com.example.other"));
  }
}

// The payment endpoint question is answered before the task ends, also when the task
// fails meanwhile: the end waits and is then made with the stored error.
TEST_F(SourceRefresh, TheEndWaitsForTheSlowPaymentEndpoint) {
  std::string location = serveIndex("repo", kIndex);
  Latch answer;
  server.handle("GET", "/repo/payment_endpoint", [&](const TestHttpRequest&) {
    answer.wait(30);
    return TestHttpResponse::text("https://pay.example/api/\n");
  });
  addSourceRecord(location);
  manager().refreshSource(location);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.two").has_value(); }, 30));
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(KVPipelineManager::sharedManager().tasksArray().size(), 1u) << "the task ended before the answer";
  answer.arrive();
  ASSERT_TRUE(waitForPipeline());
  EXPECT_EQ(source(location)->hasEndpoint(), true);
  EXPECT_EQ(source(location)->endpoint(), "https://pay.example/api/");

  Latch second;
  server.handle("GET", "/repo/payment_endpoint", [&](const TestHttpRequest&) {
    second.wait(30);
    return TestHttpResponse::text("", 404);
  });
  removeFiles("repo", {"Release"});
  manager().refreshSource(location);
  ASSERT_TRUE(server.waitForRequests("/repo/Release", 2));
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(KVPipelineManager::sharedManager().tasksArray().size(), 1u);
  second.arrive();
  ASSERT_TRUE(waitForPipeline());
  EXPECT_EQ(source(location)->hasErrors(), true);
  EXPECT_EQ(source(location)->Description(), "The server responded with invalid data.");
  EXPECT_EQ(source(location)->hasEndpoint(), false);
}

// A Release sent with a gzip transfer encoding inflates as it comes: 300 MB of zeros in
// 300 KB stop at a Release file's ceiling, and the refresh ends through its failure exit,
// having held no more than that.
TEST_F(SourceRefresh, AReleaseThatInflatesPastItsCeilingFailsWithoutBeingHeld) {
  if (!testsupport::kPeakMemoryIsMeasurable) GTEST_SKIP() << "the thread checker's memory hides the refresh's";
  std::string location = serveIndex("repo", kIndex);
  TestHttpResponse inflating;
  inflating.body = gzipOfZeros(size_t(300) << 20);
  inflating.contentType = "application/octet-stream";
  inflating.headers = {{"Content-Encoding", "gzip"}};
  server.respond("/repo/Release", inflating);
  addSourceRecord(location);
  bool ended = false;
  size_t peak = testsupport::peakMemoryGrowth([&] { ended = refresh(location); });
  ASSERT_TRUE(ended);
  EXPECT_EQ(source(location)->hasErrors(), true);
  EXPECT_EQ(source(location)->Description(), "The reply is larger than 4 MiB, the most a Release file may bring.");
  EXPECT_TRUE(packagesOf(location).empty());
  // The pipeline's threads, the database and, under the address checker, its shadow.
  EXPECT_LE(peak, size_t(KVReplyLimits::kReleaseFile.maximumBodyLength) + (32u << 20))
      << (peak >> 20) << " MiB at once";
}

// A repository that sends its Release and its payment endpoint two bytes a second holds
// the refresh no longer than the Release's time-out: the refresh ends, the failure shown.
TEST_F(SourceRefresh, ADribblingRepositoryCannotHoldTheRefreshOpen) {
  std::string location = serveIndex("repo", kIndex);
  TestHttpResponse release = TestHttpResponse::text("Origin: Slow\nLabel: Slow\nDescription: " + std::string(200, 's'));
  release.trickle = std::chrono::milliseconds(500);
  server.respond("/repo/Release", release);
  TestHttpResponse endpoint = TestHttpResponse::text("https://pay.example/api/\n");
  endpoint.trickle = std::chrono::milliseconds(500);
  server.respond("/repo/payment_endpoint", endpoint);
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(refresh(location));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
  EXPECT_EQ(source(location)->hasErrors(), true);
  EXPECT_EQ(source(location)->Description(),
            "Refresh failed, connection timeout. The repository may be down or improperly configured.");
  EXPECT_EQ(source(location)->hasEndpoint(), false);
}

// A Release value is everything after the first ": ".
TEST_F(SourceRefresh, ReleaseFieldsKeepTheirWholeValue) {
  FlatRepositoryOptions options;
  options.origin = "Origin: with a colon";
  options.description = "Tweaks: the good ones: all";
  std::string location = serveIndex("repo", kIndex, options);
  ASSERT_TRUE(refresh(location));
  EXPECT_EQ(source(location)->name(), "Origin: with a colon");
  EXPECT_EQ(source(location)->Description(), "Tweaks: the good ones: all");
  EXPECT_EQ(verboseLines.back(), "Done updating Origin: with a colon.");
}

TEST_F(SourceRefresh, ATaskCancelledBeforeItStartsReportsItsEndOnce) {
  std::string location = serveIndex("repo", kIndex);
  addSourceRecord(location);
  auto task = std::make_shared<KVSourceRefresh>(location, KVConnections::current("SourceRefreshTest"));
  EXPECT_EQ(task->taskID(), KVSourceRefresh::taskIDForLocation(location));
  EXPECT_TRUE(task->taskCanCancel());
  std::atomic<int> finished{0};
  auto token = NotificationCenter::defaultCenter().addObserver(KVPipelineTaskFinishedNotification,
                                                               [&](const Notification&) { ++finished; });
  root->refuseGrants(false);
  KVPipelineManager::sharedManager().queueTask(task);
  task->cancel();
  ASSERT_TRUE(waitForPipeline());
  token.invalidate();
  EXPECT_LE(finished.load(), 1);
  EXPECT_EQ(KVPipelineManager::sharedManager().sourceRefreshCount(), 0u);
  EXPECT_TRUE(task->isFinished());
}

}  // namespace
