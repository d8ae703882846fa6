// The floating card on its own: its texts and visibility by mode, a run that ends before
// any task was counted, the press feedback and the tap that asks its delegate.
#include <gtest/gtest.h>

#include "interface/KVFloatingHudView.h"
#include "support/UIDriver.h"
#include "uikit/UILabel.h"
#include "uikit/UIProgressView.h"

namespace {

struct Presenter : HudPresenting {
  std::vector<std::string> asked;
  void presentQueue() override { asked.push_back("queue"); }
  void presentTasks() override { asked.push_back("tasks"); }
};

class FloatingHudView : public ::testing::Test {
 protected:
  void SetUp() override { card = std::make_shared<KVFloatingHudView>(&presenter); }
  std::string text() const {
    return card->isHidden() ? "(hidden)" : card->primaryLabel()->text() + " | " + card->secondaryLabel()->text();
  }
  UIDriver ui;
  Presenter presenter;
  std::shared_ptr<KVFloatingHudView> card;
};

TEST_F(FloatingHudView, QueueModeCountsPackagesAndHidesAtNone) {
  card->setItemCount(1);
  EXPECT_EQ(text(), "Queue | 1 Package");
  card->setItemCount(12);
  EXPECT_EQ(text(), "Queue | 12 Packages");
  card->setItemCount(0);
  EXPECT_EQ(text(), "(hidden)");
}

TEST_F(FloatingHudView, TasksModeFillsTheBarAsTasksEndAndNeverDividesByNothing) {
  card->setPresentationType(KVFloatingHudView::Tasks);
  card->setItemCount(0);  // a run whose tasks were never counted
  EXPECT_EQ(card->primaryLabel()->text(), "Refresh Complete");
  EXPECT_FLOAT_EQ(card->progressView()->progress(), 1.0f);
  EXPECT_TRUE(card->progressView()->isHidden());

  card->setItemCount(4);
  EXPECT_EQ(text(), "Tasks In Progress | 4 Running Tasks");
  EXPECT_FLOAT_EQ(card->progressView()->progress(), 0.0f);
  card->setItemCount(1);
  EXPECT_EQ(text(), "Tasks In Progress | 1 Running Task");
  EXPECT_FLOAT_EQ(card->progressView()->progress(), 0.75f);
  EXPECT_EQ(card->progressTotal(), 4u);
}

TEST_F(FloatingHudView, PressingShrinksItWithASpringAndATapAsksByMode) {
  UIView::clearRecordedAnimations();
  card->touchesBegan({});
  EXPECT_EQ(card->transform(), CGAffineTransform::makeScale(0.975, 0.975));
  ASSERT_FALSE(UIView::recordedAnimations().empty());
  const auto& spring = UIView::recordedAnimations().back();
  EXPECT_EQ(spring.kind, "spring");
  EXPECT_DOUBLE_EQ(spring.duration, 0.35);
  EXPECT_DOUBLE_EQ(spring.damping, 0.3);
  EXPECT_DOUBLE_EQ(spring.velocity, 7.0);
  card->touchesCancelled({});
  EXPECT_TRUE(card->transform().isIdentity());

  card->presentView();
  card->setPresentationType(KVFloatingHudView::Tasks);
  card->presentView();
  EXPECT_EQ(presenter.asked, (std::vector<std::string>{"queue", "tasks"}));
}

}  // namespace
