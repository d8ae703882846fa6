// The view layer stops the process at a change made off the main thread, naming it.
#include <gtest/gtest.h>

#include <thread>

#include "uikit/UILabel.h"
#include "uikit/UITableView.h"
#include "uikit/UIViewController.h"

namespace {
void offMainThread(const std::function<void()>& work) {
  std::thread worker(work);
  worker.join();
}

class MainThreadDeathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UIMainThread::checksEnabled()) GTEST_SKIP() << "this build does not check the main thread (a release build)";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
  }
};
}  // namespace

TEST_F(MainThreadDeathTest, ChangingAViewOffTheMainThreadStops) {
  auto label = std::make_shared<UILabel>();
  EXPECT_DEATH(offMainThread([&] { label->setText("late"); }), "UILabel::setText.*called off the main thread");
  EXPECT_DEATH(offMainThread([&] { label->setFrame(CGRect::make(0, 0, 10, 10)); }), "UIView::setFrame");
  auto parent = std::make_shared<UIView>();
  EXPECT_DEATH(offMainThread([&] { parent->addSubview(label); }), "UIView::insertSubviewAtIndex");
  auto table = std::make_shared<UITableView>();
  EXPECT_DEATH(offMainThread([&] { table->reloadData(); }), "UITableView::reloadData");
  auto screen = std::make_shared<UIViewController>();
  EXPECT_DEATH(offMainThread([&] { screen->setTitle("x"); }), "UIViewController::setTitle");
}

TEST_F(MainThreadDeathTest, ReadingOffTheMainThreadAndChangingOnItAreFine) {
  auto label = std::make_shared<UILabel>();
  label->setText("shown");
  std::string seen;
  offMainThread([&] { seen = label->text() + " " + std::to_string(int(label->frame().width())); });
  EXPECT_EQ(seen, "shown 0");
}
