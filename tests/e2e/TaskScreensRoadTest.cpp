// The task list and the verbose log, opened from the tab bar while real refreshes of
// repositories served on 127.0.0.1 run: rows come and go with the pipeline, the log
// grows with what the tasks report, in the colours of their kinds, and ends with its
// marker.
#include <string>
#include <vector>

#include "core/KVPipelineManager.h"
#include "operations/KVVerboseLogView.h"
#include "operations/TasksVerboseViewController.h"
#include "operations/TasksViewController.h"
#include "support/TabBarRoadFixture.h"
#include "uikit/NSAttributedString.h"
#include "uikit/UIButton.h"
#include "uikit/UIProgressView.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITableView.h"

namespace {

class TaskScreensRoad : public TabBarRoadFixture {
 protected:
  void SetUp() override {
    TabBarRoadFixture::SetUp();
    pia = NotificationCenter::defaultCenter().addObserver("ChangeShowPIAAlertStatus", [this](const Notification& n) {
      piaStatus.push_back(n.userInfo["showPIAAlertStatus"].asBool());
    });
  }
  void TearDown() override {
    pia.invalidate();
    TabBarRoadFixture::TearDown();
  }

  template <class Screen>
  Screen* presented() {
    auto* navigation = dynamic_cast<UINavigationController*>(tabs->presentedViewController());
    return navigation ? dynamic_cast<Screen*>(navigation->topViewController()) : nullptr;
  }
  bool turnUntil(const std::function<bool()>& done) { return RunLoop::main().runUntil(done, 60); }

  NotificationToken pia;
  std::vector<bool> piaStatus;
};

TEST_F(TaskScreensRoad, TheTaskListFollowsTheRefreshesAndClosesAfterTheLast) {
  preferences().setObject(Value(false), "ShowVerboseUI");
  tabs->presentTasks();
  ui.runUntilIdle();
  auto* empty = presented<TasksViewController>();
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(ui.screenShows("No Running Tasks")) << ui.screen();
  EXPECT_TRUE(ui.tap("Close"));
  EXPECT_EQ(tabs->presentedViewController(), nullptr);

  auto locations = heldRepositories({"alpha", "beta"});
  manager().refreshSources({locations[0]});
  ASSERT_TRUE(server.waitForRequests("/alpha/Release", 1));
  tabs->presentTasks();
  ui.runUntilIdle();
  auto* list = presented<TasksViewController>();
  ASSERT_NE(list, nullptr);
  EXPECT_TRUE(list->shownFromGesture());
  ASSERT_EQ(list->tasks().size(), 1u);
  EXPECT_TRUE(ui.screenShows("0.0: Refreshing")) << ui.screen();

  // A task queued while the list shows gets its row at the end.
  manager().refreshSources({locations[1]});
  ASSERT_TRUE(turnUntil([&] { return list->tasks().size() == 2; }));
  EXPECT_EQ(list->tasksTableView()->numberOfRowsInSection(0), 2);
  // A row the table asks for after the list shrank is a plain one, not a read past the end.
  EXPECT_EQ(list->tableViewCellForRowAtIndexPath(*list->tasksTableView(), NSIndexPath::indexPathForRow(5, 0))
                ->reuseIdentifier(),
            "nil");

  release.arrive();
  ASSERT_TRUE(turnUntil([&] { return tabs->presentedViewController() == nullptr; })) << ui.screen();
  EXPECT_TRUE(KVPipelineManager::sharedManager().tasksArray().empty());
}

TEST_F(TaskScreensRoad, TheVerboseLogShowsTheRunInItsColoursAndEndsWithTheMarker) {
  preferences().setObject(Value(true), "ShowVerboseUI");
  auto locations = heldRepositories({"gamma"});
  manager().refreshSources(locations);
  ASSERT_TRUE(server.waitForRequests("/gamma/Release", 1));
  tabs->presentTasks();
  ui.runUntilIdle();
  auto* verbose = presented<TasksVerboseViewController>();
  ASSERT_NE(verbose, nullptr);
  EXPECT_EQ(piaStatus, std::vector<bool>{false}) << "the pipeline asks through the action button";
  EXPECT_TRUE(verbose->actionButton()->isHidden());

  // An APT run's pieces, as its task posts them from its own thread.
  auto post = [](Value info) {
    std::thread([info] { NotificationCenter::defaultCenter().post(KVUpdateVerboseViewNotification, Value(), info); })
        .join();
  };
  post(Value::dict({{"Message", "apt-get install com.example.gamma"}, {"isForCommand", true}}));
  post(Value::dict({{"Message", "Unpacking com.example.gamma (1.0) ...\n"}, {"isForStream", true}}));
  post(Value::dict({{"Message", "W: Some index files failed\n"},
                    {"isForStream", true},
                    {"isStreamWarning", true},
                    {"isStreamError", true}}));
  post(Value::dict({{"Message", "E: Sub-process returned an error code\n"}, {"isForStream", true}, {"isStreamError", true}}));
  post(Value::dict({{"Error", true}}));  // no message: nothing
  release.arrive();
  ASSERT_TRUE(waitForPipeline());
  ui.runUntilIdle();

  std::string log = verbose->tasksProgressTextView()->attributedText().string();
  EXPECT_NE(log.find("\napt-get install com.example.gamma"), std::string::npos) << log;
  EXPECT_NE(log.find("Unpacking com.example.gamma (1.0) ...\nW: Some index files failed\nE: Sub-process"),
            std::string::npos)
      << "stream pieces as they came: " << log;
  EXPECT_NE(log.find("Packages"), std::string::npos) << "the refresh's own status lines: " << log;
  EXPECT_EQ(log.size() - log.rfind("\n\n> No more running tasks"), std::string("\n\n> No more running tasks").size())
      << log;
  std::string screen = ui.screen();
  EXPECT_NE(screen.find("log: [yellow] W: Some index files failed"), std::string::npos) << screen;
  EXPECT_NE(screen.find("log: [red] E: Sub-process returned an error code"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Unpacking com.example.gamma (1.0) ..."), std::string::npos) << screen;
  EXPECT_NE(screen.find("log: > No more running tasks"), std::string::npos) << "scrolled to the end: " << screen;
  EXPECT_TRUE(verbose->progressBar()->isHidden());

  // The pipeline's after-install question becomes the action button.
  NotificationCenter::defaultCenter().post("UpdateVerboseActionButton", Value(), Value::dict({{"action", "None"}}));
  ui.runUntilIdle();
  EXPECT_TRUE(verbose->actionButton()->isHidden());
  NotificationCenter::defaultCenter().post("UpdateVerboseActionButton", Value(), Value::dict({{"action", "Respring"}}));
  ui.runUntilIdle();
  EXPECT_FALSE(verbose->actionButton()->isHidden());
  EXPECT_DOUBLE_EQ(verbose->actionButtonHeight()->constant(), 53);

  // Closed by anything but its button, the pipeline still gets its card back.
  tabs->dismissViewControllerAnimated(false);
  ui.runUntilIdle();
  EXPECT_EQ(piaStatus, (std::vector<bool>{false, true}));
}

// Opened with nothing running: the marker once, a full hidden bar, no action button;
// the Close button gives the pipeline its card back.
TEST_F(TaskScreensRoad, TheVerboseLogOfNoTaskShowsTheMarkerOnce) {
  preferences().setObject(Value(true), "ShowVerboseUI");
  tabs->presentTasks();
  ui.runUntilIdle();
  auto* verbose = presented<TasksVerboseViewController>();
  ASSERT_NE(verbose, nullptr);
  EXPECT_EQ(verbose->tasksProgressTextView()->attributedText().string(), "> No more running tasks");
  EXPECT_TRUE(verbose->progressBar()->isHidden());
  EXPECT_FLOAT_EQ(verbose->progressBar()->progress(), 1.0f);
  EXPECT_TRUE(verbose->actionButton()->isHidden());
  EXPECT_TRUE(ui.tap("Close"));
  EXPECT_EQ(tabs->presentedViewController(), nullptr);
  EXPECT_EQ(piaStatus, (std::vector<bool>{false, true}));
}

}  // namespace
