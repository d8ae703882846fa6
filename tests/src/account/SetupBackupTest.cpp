// The setup's backup as a pipeline task against the played vendor service: Backup now
// from the account screen, the form as the service reads it, one backup at a time, the
// status lines, and the result announced after the task ended, whatever it was.
#include "AccountScreensFixture.h"
#include "account/AccountPlistViewController.h"
#include "account/KVBackupQuillbarkSetupTask.h"
#include "core/KVPipelineManager.h"
#include "database/KVRSource.h"
#include "support/Written.h"

namespace {

class SetupBackupTest : public AccountScreensFixture {
 protected:
  void SetUp() override {
    AccountScreensFixture::SetUp();
    auto& center = NotificationCenter::defaultCenter();
    tokens_.push_back(center.addObserver("UpdateVerboseView", [this](const Notification& n) {
      events.push_back("line " + n.userInfo["Message"].asString());
    }));
    tokens_.push_back(center.addObserver(KVPipelineTaskFinishedNotification, [this](const Notification& n) {
      events.push_back(std::string("finished ") + (n.userInfo["success"].asBool() ? "well" : "badly"));
    }));
    tokens_.push_back(center.addObserver(KVQuillbarkSetupBackupDoneNotification, [this](const Notification& n) {
      events.push_back("done " + n.userInfo["title"].asString() + ": " + n.userInfo["message"].asString());
    }));
  }
  // Queues a backup of these and waits for its announcement; answers it.
  std::string backUp(int64_t user, std::vector<std::string> sources, std::vector<std::string> packages) {
    events.clear();
    EXPECT_TRUE(KVPipelineManager::sharedManager().queueTask(
        std::make_shared<KVBackupQuillbarkSetupTask>(user, std::move(sources), std::move(packages))));
    return announced();
  }
  std::string announced() {
    if (!eventually([&] { return !events.empty() && events.back().rfind("done ", 0) == 0; })) return "<nothing>";
    return events.back();
  }

  std::vector<std::string> events;

 private:
  std::vector<NotificationToken> tokens_;
};

TEST_F(SetupBackupTest, BackupNowUploadsTheSetupAsItIsKeptAndAnnouncesItAfterTheTaskEnded) {
  storeSignedIn(7);
  // Locations and identifiers whose characters would split or alter an unencoded form.
  const std::vector<std::string> locations = {"http://127.0.0.1:8080/a+b/", "https://repo.example/x&y=1/",
                                              "https://repo.example/%41 z/"};
  written(db()->write([&] {
    for (const auto& location : locations) db()->add(KVRSource::newSourceWithLocation(location).toObject());
  }));
  written(db()->write([&] {
    for (const char* identifier : {"com.example.a+b", "com.example.lib"}) {
      KVRPackage package;
      package.setIdentifier(identifier);
      package.setIsInstalled(true);
      db()->add(package.toObject());
    }
  }));
  show<AccountPlistViewController>(nullptr);
  ASSERT_TRUE(ui.tap("Backup Sources and Packages"));
  ASSERT_TRUE(ui.screenShows("Quillbark Setup Backup\nDo you really want to backup")) << ui.screen();
  ASSERT_TRUE(ui.tap("Backup now"));
  EXPECT_EQ(announced(), "done Quillbark Setup Backup: Quillbark setup successfully saved.");
  EXPECT_EQ(events, (std::vector<std::string>{"line Setting the backup parameters...", "line Uploading the backup...",
                                              "line Quillbark setup successfully saved.", "finished well",
                                              "done Quillbark Setup Backup: Quillbark setup successfully saved."}));
  auto kept = service->setup(7);
  ASSERT_TRUE(kept);
  EXPECT_EQ(std::set<std::string>(kept->sources.begin(), kept->sources.end()),
            std::set<std::string>(locations.begin(), locations.end()));
  EXPECT_EQ(std::set<std::string>(kept->packages.begin(), kept->packages.end()),
            (std::set<std::string>{"com.example.a+b", "com.example.lib"}));
  std::string raw = service->rawSentTo("setup/savesetup.php").at(0);
  EXPECT_EQ(raw.rfind("key=Thornwake&userID=7&sources[]=", 0), 0u) << raw;
  EXPECT_NE(raw.find("sources[]=https%3A%2F%2Frepo.example%2Fx%26y%3D1%2F&"), std::string::npos) << raw;
  EXPECT_NE(raw.find("&packages[]=com.example.a%2Bb&"), std::string::npos) << raw;

  // An empty setup is the key and the user id, each pair followed by "&".
  EXPECT_EQ(backUp(7, {}, {}), "done Quillbark Setup Backup: Quillbark setup successfully saved.");
  EXPECT_EQ(service->rawSentTo("setup/savesetup.php").back(), "key=Thornwake&userID=7&");
  EXPECT_EQ(service->setup(7), TestVendorService::Setup{});
}

TEST_F(SetupBackupTest, ARefusalOrALostConnectionIsTheResultAndTheTaskStillEndsWell) {
  service->answer("setup/savesetup.php", TestHttpResponse::text("Error"));
  EXPECT_EQ(backUp(7, {"https://repo.example/"}, {}),
            "done Quillbark Setup Backup: There was an error during the backup upload process, contact us or retry "
            "later.");
  EXPECT_EQ(events.at(events.size() - 2), "finished well");
  service->answer("setup/savesetup.php", TestVendorService::droppedConnection());
  EXPECT_EQ(backUp(7, {}, {}), "done Quillbark Setup Backup: The network connection was lost.");
  EXPECT_EQ(events.at(events.size() - 2), "finished well");

  // No account: nothing is sent.
  EXPECT_EQ(backUp(0, {"https://repo.example/"}, {"com.example.lib"}),
            "done Quillbark Setup Backup: You aren't logged in");
  EXPECT_EQ(service->rawSentTo("setup/savesetup.php").size(), 2u);
}

TEST_F(SetupBackupTest, OneBackupAtATime) {
  auto& pipeline = KVPipelineManager::sharedManager();
  auto first = std::make_shared<KVBackupQuillbarkSetupTask>(7, std::vector<std::string>{}, std::vector<std::string>{});
  auto second = std::make_shared<KVBackupQuillbarkSetupTask>(7, std::vector<std::string>{}, std::vector<std::string>{});
  EXPECT_EQ(first->status(), "Waiting for connection...");
  EXPECT_EQ(first->taskProgress(), 0);
  ASSERT_TRUE(pipeline.queueTask(first));
  EXPECT_FALSE(pipeline.queueTask(second)) << "dropped while the first is queued or running";
  EXPECT_NE(announced(), "<nothing>");
  EXPECT_EQ(first->taskProgress(), 1.0);
  EXPECT_EQ(first->pipelineID(), "synchronization");
  EXPECT_EQ(service->rawSentTo("setup/savesetup.php").size(), 1u);
  EXPECT_TRUE(pipeline.queueTask(second)) << "and taken once it ended";
  EXPECT_NE(announced(), "<nothing>");
}

}  // namespace
