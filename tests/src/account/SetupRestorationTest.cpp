// The restoration of a saved setup with the real sources manager and refreshes served on
// 127.0.0.1: the checklists, Restore now with its confirmation and the owner's
// authentication, a new source added and refreshed before the packages are queued, a
// source already there kept as it is, and a refresh started elsewhere that restores
// nothing.
#include "account/QuillbarkSetupRestorationViewController.h"
#include "support/SourceRefreshFixture.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"

namespace {

class SetupRestorationTest : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    one = serveIndex("one", stanza("com.example.tool", "1.0", {{"Name", "Example Tool"}}) +
                                stanza("com.example.lib", "1.0", {{"Name", "Example Library"}}));
    other = serveIndex("other", stanza("com.example.other", "1.0"));
  }
  // The screen pushed over a plain one, as the account screen pushes it.
  std::shared_ptr<QuillbarkSetupRestorationViewController> open(KVRestoreChecklist sources,
                                                                 KVRestoreChecklist packages) {
    auto screen = std::make_shared<QuillbarkSetupRestorationViewController>(screenContext(), std::move(sources),
                                                                            std::move(packages));
    auto account = std::make_shared<UIViewController>();
    account->setTitle("Account");
    navigation = std::make_shared<UINavigationController>(account);
    ui.show(navigation);
    navigation->pushViewController(screen, false);
    ui.runUntilIdle();
    return screen;
  }
  // Restore now, then its confirmation.
  void restoreNow() {
    ASSERT_TRUE(ui.tap("Restore now")) << ui.screen();
    ASSERT_TRUE(ui.screenShows("Do you really want to restore the backup as selected?")) << ui.screen();
    ASSERT_TRUE(ui.tap("Restore now")) << ui.screen();
  }
  bool closed() {
    return RunLoop::main().runUntil([&] { return navigation->topViewController()->title() == "Account"; }, 60);
  }
  bool queued(const std::string& identifier) {
    auto record = package(identifier);
    return record && record->isInTheQueue().value_or(false);
  }

  UIDriver ui;
  std::shared_ptr<UINavigationController> navigation;
  std::string one, other;
};

TEST_F(SetupRestorationTest, TheChecklistsToggleAndSayHowManyAreChosen) {
  auto screen = open({}, {{"com.example.tool", true}, {"com.example.lib", false}});
  // The second table's rows are numbered after the first's.
  EXPECT_TRUE(ui.screenShows("Sources\nSelected (0)\ntable: 1 row\n  0.0: 0 sources to restore\n"
                             "Packages\nSelected (1)\ntable: 2 rows\n  1.0: com.example.tool | | ✓\n"
                             "  1.1: com.example.lib\n"))
      << ui.screen();
  EXPECT_EQ(screen->sourcesTableViewHeightConstraint()->constant(), 44);
  EXPECT_EQ(screen->packagesTableViewHeightConstraint()->constant(), 88);
  ASSERT_TRUE(ui.tap("0 sources to restore"));
  ASSERT_TRUE(ui.tap("com.example.lib"));
  ASSERT_TRUE(ui.tap("com.example.tool"));
  EXPECT_TRUE(ui.screenShows("Selected (0)\ntable: 1 row\n  0.0: 0 sources to restore\n"
                             "Packages\nSelected (1)\ntable: 2 rows\n  1.0: com.example.tool\n"
                             "  1.1: com.example.lib | | ✓\n"))
      << ui.screen();
  ASSERT_TRUE(ui.tap("com.example.lib"));
  ASSERT_TRUE(ui.tap("Restore now"));
  EXPECT_TRUE(ui.screenShows("You do not have any sources, or packages selected for restoration.")) << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  ASSERT_TRUE(ui.swipe("right"));
  EXPECT_TRUE(closed()) << "a right swipe goes back";
}

// A location is purged and refreshed only when the device lacks it; the packages wait
// for its refresh, and one no source offers is left out.
TEST_F(SetupRestorationTest, RestoreAddsTheMissingSourceRefreshesItThenQueuesThePackagesAndCloses) {
  ASSERT_TRUE(refresh(other));
  open({{one, true}, {other, true}}, {{"com.example.tool", true}, {"com.example.missing", true}, {"com.example.lib", false}});
  size_t otherRequests = server.requestCount("/other/Release");
  ASSERT_NO_FATAL_FAILURE(restoreNow());
  ASSERT_TRUE(closed()) << ui.screen();
  EXPECT_TRUE(source(one)) << "the new source";
  EXPECT_TRUE(package("com.example.tool")) << "refreshed before the packages were queued";
  EXPECT_TRUE(queued("com.example.tool"));
  EXPECT_FALSE(queued("com.example.lib"));
  EXPECT_FALSE(package("com.example.missing"));
  EXPECT_NE(sourcesList().find(one), std::string::npos) << sourcesList();
  EXPECT_NE(sourcesList().find(other), std::string::npos) << "the source that was there keeps its line";
  EXPECT_FALSE(listFile(other).empty());
  EXPECT_EQ(server.requestCount("/other/Release"), otherRequests) << "and is not refreshed";
}

TEST_F(SetupRestorationTest, WithEverySourceThereThePackagesAreQueuedAtOnce) {
  ASSERT_TRUE(refresh(one));
  size_t requests = server.requestCount();
  open({{one, true}}, {{"com.example.lib", true}});
  ASSERT_NO_FATAL_FAILURE(restoreNow());
  ASSERT_TRUE(closed()) << ui.screen();
  EXPECT_TRUE(queued("com.example.lib"));
  EXPECT_EQ(server.requestCount(), requests);
  EXPECT_FALSE(listFile(one).empty()) << "its lists are kept";
}

// Nothing is restored until Restore now: a refresh that ends meanwhile queues nothing.
TEST_F(SetupRestorationTest, ARefreshStartedElsewhereRestoresNothing) {
  ASSERT_TRUE(refresh(one));
  auto screen = open({{other, true}}, {{"com.example.tool", true}});
  ASSERT_TRUE(refresh(other));
  ui.runUntilIdle();
  EXPECT_EQ(navigation->topViewController(), screen.get());
  EXPECT_FALSE(queued("com.example.tool"));
  EXPECT_FALSE(screen->isRestoring());
}

TEST_F(SetupRestorationTest, TheOwnersAuthenticationWhenTheSettingsAskForIt) {
  ASSERT_TRUE(refresh(one));
  preferences().setObject(Value(true), "AuthenticationForPackagesManagementTasks");
  auto screen = open({}, {{"com.example.tool", true}});
  root->setOwnerAuthentication(KVOwnerAuthentication::Unavailable);
  ASSERT_NO_FATAL_FAILURE(restoreNow());
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("Quillbark Authentication"); }));
  EXPECT_TRUE(ui.screenShows("Your device can't use FaceID, TouchID or password authentication")) << ui.screen();
  ASSERT_TRUE(ui.tap("Close"));
  root->setOwnerAuthentication(KVOwnerAuthentication::Failed);
  ASSERT_NO_FATAL_FAILURE(restoreNow());
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("Failed to authenticate yourself. Try again."); }));
  ASSERT_TRUE(ui.tap("Close"));
  EXPECT_FALSE(queued("com.example.tool"));
  EXPECT_FALSE(screen->isRestoring());

  root->setOwnerAuthentication(KVOwnerAuthentication::Succeeded);
  ASSERT_NO_FATAL_FAILURE(restoreNow());
  ASSERT_TRUE(closed()) << ui.screen();
  EXPECT_TRUE(queued("com.example.tool"));
  EXPECT_EQ(root->authenticationReasons(),
            std::vector<std::string>(3, "Please authenticate yourself to restore your Quillbark setup"));
}

}  // namespace
