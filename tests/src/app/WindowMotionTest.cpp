// What the window does on the main loop's clock: a flung list going on and slowing to a
// stop at its edge, a held click that is a long press and no tap, animations that play
// over their durations where a person watches (and end at once elsewhere); and where a
// person watches, content kept clear of the bars and labels sized to the drawn text.
#include <gtest/gtest.h>

#include "render/TextDrawing.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UITabBar.h"
#include "uikit/UITabBarController.h"
#include "uikit/UIWindow.h"

namespace {
class Board : public UIViewController {
 public:
  std::vector<std::string> events;
  std::shared_ptr<UIScrollView> scroll;
  std::shared_ptr<UIButton> card;
  void viewDidLoad() override {
    scroll = std::make_shared<UIScrollView>(CGRect::make(0, 100, 375, 600));
    scroll->setContentSize({375, 3000});
    view()->addSubview(scroll);
    card = UIButton::buttonWithType(UIButtonTypeCustom);
    card->setFrame(CGRect::make(20, 20, 335, 65));
    card->addTarget(this, [this](UIControl&) { events.push_back("tap"); }, UIControlEventTouchUpInside);
    card->addGestureRecognizer(std::make_shared<UILongPressGestureRecognizer>(
        [this](UIGestureRecognizer& r) { events.push_back("press " + std::to_string(r.state())); }));
    scroll->addSubview(card);
  }
};

class WindowMotion : public ::testing::Test {
 protected:
  void SetUp() override {
    ui.show(board);
    ui.runUntilIdle();
  }
  void TearDown() override { UIView::setAnimationsPlayOverTime(false); }
  // A drag of `points` upwards over `seconds`, in four moves, let go at once.
  void fling(double points, double seconds) {
    CGPoint start{187, 600};
    input.pointer(start, true);
    for (int step = 1; step <= 4; ++step) {
      ui.advance(seconds / 4);
      input.pointer({start.x, start.y - points * step / 4}, true);
    }
    input.pointer({start.x, start.y - points}, false);
  }
  UIDriver ui;
  std::shared_ptr<Board> board = std::make_shared<Board>();
  WindowInput input;
};
}  // namespace

TEST_F(WindowMotion, AFlungListGoesOnSlowingAndStopsAtItsEdge) {
  // Slowly: the content moves as far as the pointer and rests there.
  fling(100, 2);
  ui.advance(1);
  EXPECT_DOUBLE_EQ(board->scroll->contentOffset().y, 100);

  // Quickly (1,000 points a second): the list goes on after the release, slowing.
  fling(100, 0.1);
  double released = board->scroll->contentOffset().y;
  EXPECT_DOUBLE_EQ(released, 200);
  ui.advance(0.1);
  double early = board->scroll->contentOffset().y - released;
  ui.advance(0.1);
  double later = board->scroll->contentOffset().y - released - early;
  EXPECT_GT(early, 50);
  EXPECT_GT(later, 0);
  EXPECT_LT(later, early);
  ui.advance(5);
  double rest = board->scroll->contentOffset().y;
  EXPECT_GT(rest, released + 150);
  ui.advance(1);
  EXPECT_DOUBLE_EQ(board->scroll->contentOffset().y, rest) << "it has stopped";

  // A fling past the end stops at the content's edge; a press catches a moving list.
  fling(400, 0.05);
  ui.advance(5);
  EXPECT_DOUBLE_EQ(board->scroll->contentOffset().y, board->scroll->maximumContentOffset().y);
  board->scroll->setContentOffset({0, 400});
  fling(-200, 0.05);
  ui.advance(0.05);
  double caught = board->scroll->contentOffset().y;
  input.pointer({187, 300}, true);
  ui.advance(0.5);
  EXPECT_DOUBLE_EQ(board->scroll->contentOffset().y, caught);
  input.pointer({187, 300}, false);
}

TEST_F(WindowMotion, AHeldClickIsALongPressAndNoTap) {
  CGPoint onCard{187, 100 + 20 + 30};
  input.pointer(onCard, true);
  input.pointer(onCard, false);
  EXPECT_EQ(board->events, std::vector<std::string>{"tap"});

  board->events.clear();
  input.pointer(onCard, true);
  ui.advance(0.7);  // past the recognizer's half second, the button still down
  EXPECT_EQ(board->events, std::vector<std::string>{"press 1"});
  input.pointer(onCard, false);
  ui.runUntilIdle();
  EXPECT_EQ(board->events, (std::vector<std::string>{"press 1", "press 3"})) << "the release ends it; no tap follows";
}

TEST_F(WindowMotion, AnimationsPlayOverTheirDurationsWherePeopleWatch) {
  UIButton& card = *board->card;
  std::vector<std::string> done;
  // Elsewhere they end at once, the completion on the next turn.
  UIView::animateWithDuration(1, [&] { card.setAlpha(0.2); }, [&](bool) { done.push_back("instant"); });
  EXPECT_DOUBLE_EQ(card.alpha(), 0.2);
  ui.runUntilIdle();
  EXPECT_EQ(done, std::vector<std::string>{"instant"});

  UIView::setAnimationsPlayOverTime(true);
  auto seen = [&] {
    double alpha = 0, scale = 0;
    UIView::drawWithPresentationValues([&] { alpha = card.alpha(), scale = card.transform().a; });
    return std::make_pair(alpha, scale);
  };
  UIView::animateWithDuration(1, 0, UIViewAnimationOptionCurveLinear, [&] { card.setAlpha(1); },
                              [&](bool) { done.push_back("faded"); });
  UIView::animateWithDuration(0.35, 0, 0.3, 7, 0, [&] { card.setTransform(CGAffineTransform::makeScale(0.975, 0.975)); });
  EXPECT_DOUBLE_EQ(card.alpha(), 1) << "the view holds its new values at once";
  EXPECT_TRUE(UIView::isAnimationPlaying());
  ui.advance(0.5);
  auto [alpha, scale] = seen();
  EXPECT_NEAR(alpha, 0.6, 0.02);
  EXPECT_LT(scale, 1);
  EXPECT_DOUBLE_EQ(card.alpha(), 1) << "drawing puts the view's own values back";
  EXPECT_EQ(done.size(), 1u);
  ui.advance(0.6);
  EXPECT_EQ(seen(), std::make_pair(1.0, 0.975));
  EXPECT_FALSE(UIView::isAnimationPlaying());
  EXPECT_EQ(done, (std::vector<std::string>{"instant", "faded"}));

  // A presented screen rises from below the window and is in place at the end.
  auto sheet = std::make_shared<UIViewController>();
  board->presentViewController(sheet, true);
  ui.advance(0.1);
  double top = 0;
  UIView::drawWithPresentationValues([&] { top = sheet->view()->frame().minY(); });
  EXPECT_GT(top, sheet->view()->frame().minY());
  ui.advance(0.5);
  EXPECT_FALSE(UIView::isAnimationPlaying());
  EXPECT_FALSE(sheet->isBeingPresented());
}

TEST(WindowGeometry, WhereAPersonWatchesContentStartsBelowTheNavigationBarAndEndsAboveTheTabBar) {
  struct Off {
    ~Off() { UIView::setContentKeepsClearOfBars(false); }
  } off;
  UIDriver ui;
  auto board = std::make_shared<Board>();
  auto tabs = std::make_shared<UITabBarController>();
  tabs->setViewControllers({std::make_shared<UINavigationController>(board)});
  ui.show(tabs);
  ui.runUntilIdle();
  UIScrollView& list = *board->scroll;
  list.setFrame(board->view()->bounds());
  ui.window().layoutIfNeeded();
  EXPECT_DOUBLE_EQ(list.contentOffset().y, 0) << "elsewhere the content lies under the bars";

  UIView::setContentKeepsClearOfBars(true);
  ui.window().layoutIfNeeded();
  UIEdgeInsets screen = UIScreen::mainScreen().safeAreaInsets();
  UIEdgeInsets in = list.adjustedContentInset();
  EXPECT_DOUBLE_EQ(in.top, screen.top + 44) << "the status bar and the navigation bar";
  EXPECT_DOUBLE_EQ(in.bottom, tabs->tabBar()->frame().height());
  EXPECT_DOUBLE_EQ(list.contentOffset().y, -in.top) << "at rest, the content's top shows below the bar";
  EXPECT_DOUBLE_EQ(list.maximumContentOffset().y, 3000 + in.bottom - list.bounds().height());

  UIView::setContentKeepsClearOfBars(false);
  ui.window().layoutIfNeeded();
  EXPECT_DOUBLE_EQ(list.contentOffset().y, 0);
}

TEST(WindowGeometry, WhereAPersonWatchesALabelSizedToItsTextShowsItWhole) {
  struct Off {
    ~Off() { TextDrawing::measureAsDrawn(false); }
  } off;
  UIView board(CGRect::make(0, 0, 360, 40));
  auto label = std::make_shared<UILabel>();
  label->setText("Description of 12 Packages, Queued");
  label->setFont(UIFont::boldSystemFontOfSize(15));
  board.addSubview(label);
  // Sized to its text, the label draws the same pixels as one with room to spare: no
  // ellipsis, nothing cut.
  auto wholeWhenSizedToText = [&] {
    label->sizeToFit();
    ImagePixels tight = ViewRenderer::render(board, 3, UIColor::whiteColor());
    label->setFrame(CGRect::make(0, 0, 350, label->frame().height()));
    return tight.rgba == ViewRenderer::render(board, 3, UIColor::whiteColor()).rgba;
  };
  EXPECT_FALSE(wholeWhenSizedToText()) << "the fixed advances are narrower than the drawn face";
  TextDrawing::measureAsDrawn(true);
  EXPECT_TRUE(wholeWhenSizedToText());
  UIFont::Extent wrapped = UIFont::systemFontOfSize(17).measure("one two three four", 60);
  EXPECT_GE(wrapped.lines, 2) << "wrapped at the width asked";
  EXPECT_LE(wrapped.width, 60);
}
