// Which view a point of the window reaches: the front-most one that takes touches, only
// within the bounds of every view it lies in, and nothing under the status strip.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIWindow.h"

namespace {
std::shared_ptr<UIView> viewAt(UIView& parent, CGRect frame) {
  auto view = std::make_shared<UIView>(frame);
  parent.addSubview(view);
  return view;
}
}  // namespace

TEST(HitTest, TheFrontMostTouchableViewAnswersWithinTheBoundsOfEveryViewItLiesIn) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  UIView& page = *screen->view();
  UIWindow& window = ui.window();
  auto back = viewAt(page, CGRect::make(0, 100, 200, 200));
  auto front = viewAt(page, CGRect::make(100, 150, 200, 100));
  EXPECT_EQ(window.hitTest({150, 200}), front.get());
  for (auto hide : std::vector<std::function<void(bool)>>{[&](bool on) { front->setHidden(on); },
                                                         [&](bool on) { front->setAlpha(on ? 0 : 1); },
                                                         [&](bool on) { front->setUserInteractionEnabled(!on); }}) {
    hide(true);
    EXPECT_EQ(window.hitTest({150, 200}), back.get());
    hide(false);
  }
  // Beyond its superview's bounds a view is not reached, as it is not seen there.
  auto over = viewAt(*back, CGRect::make(150, 10, 100, 40));
  EXPECT_EQ(window.hitTest({160, 120}), over.get());
  EXPECT_EQ(window.hitTest({320, 120}), &page);
  // In a scrolled view, by where its content shows now.
  auto scroll = std::make_shared<UIScrollView>(CGRect::make(0, 400, 375, 200));
  scroll->setContentSize({375, 1000});
  page.addSubview(scroll);
  auto item = viewAt(*scroll, CGRect::make(0, 600, 375, 44));
  EXPECT_EQ(window.hitTest({10, 420}), scroll.get());
  scroll->setContentOffset({0, 590});
  EXPECT_EQ(window.hitTest({10, 420}), item.get());

  // A view scrolled under the status strip answers nothing there, and below it.
  scroll->setFrame(CGRect::make(0, 0, 375, 300));
  scroll->setContentOffset({0, 590});
  EXPECT_EQ(window.hitTest({10, 20}), nullptr);
  EXPECT_EQ(window.hitTest({10, 50}), item.get());
}
