// Frames from constraints: a screen writes its geometry once, as constraints, and the
// views laid out by them get their frames when their superview lays out.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"

namespace {
std::shared_ptr<UILabel> label(const std::string& text, long lines = 1) {
  auto l = std::make_shared<UILabel>();
  l->setText(text);
  l->setNumberOfLines(lines);
  l->setTranslatesAutoresizingMaskIntoConstraints(false);
  return l;
}

// An alert card: centred, 20 from the sides; a title, a wrapping message, and two
// buttons of equal width side by side, 16 apart, 32 from the card's edges.
class Card : public UIViewController {
 public:
  std::shared_ptr<UIView> stage = std::make_shared<UIView>(CGRect::make(0, 0, 400, 600));
  std::shared_ptr<UIView> card = std::make_shared<UIView>();
  std::shared_ptr<UILabel> title = label("Unable to login");
  std::shared_ptr<UILabel> message =
      label("The password you entered is not the one we know for this account, please try again", 0);
  std::shared_ptr<UIButton> ok = UIButton::buttonWithType(UIButtonTypeSystem);
  std::shared_ptr<UIButton> forgot = UIButton::buttonWithType(UIButtonTypeSystem);
  std::shared_ptr<NSLayoutConstraint> height;
  void viewDidLoad() override {
    view()->addSubview(stage);
    ok->setTitle("OK");
    forgot->setTitle("Forgot");
    card->setTranslatesAutoresizingMaskIntoConstraints(false);
    stage->addSubview(card);
    for (auto v : std::vector<std::shared_ptr<UIView>>{title, message, ok, forgot}) {
      v->setTranslatesAutoresizingMaskIntoConstraints(false);
      card->addSubview(v);
    }
    height = card->heightAnchor().constraintEqualToConstant(240);
    NSLayoutConstraint::activateConstraints({
        card->centerYAnchor().constraintEqualToAnchor(stage->centerYAnchor()),
        card->leadingAnchor().constraintEqualToAnchor(stage->leadingAnchor(), 20),
        stage->trailingAnchor().constraintEqualToAnchor(card->trailingAnchor(), 20),
        height,
        title->topAnchor().constraintEqualToAnchor(card->topAnchor(), 24),
        title->leadingAnchor().constraintEqualToAnchor(card->leadingAnchor(), 32),
        title->trailingAnchor().constraintEqualToAnchor(card->trailingAnchor(), -32),
        message->topAnchor().constraintEqualToAnchor(title->bottomAnchor(), 12),
        message->leadingAnchor().constraintEqualToAnchor(title->leadingAnchor()),
        message->widthAnchor().constraintEqualToAnchor(title->widthAnchor()),
        ok->topAnchor().constraintEqualToAnchor(message->bottomAnchor(), 24),
        ok->heightAnchor().constraintEqualToConstant(44),
        ok->leadingAnchor().constraintEqualToAnchor(card->leadingAnchor(), 32),
        forgot->leadingAnchor().constraintEqualToAnchor(ok->trailingAnchor(), 16),
        ok->widthAnchor().constraintEqualToAnchor(forgot->widthAnchor()),
        card->trailingAnchor().constraintEqualToAnchor(forgot->trailingAnchor(), 32),
        forgot->centerYAnchor().constraintEqualToAnchor(ok->centerYAnchor()),
        forgot->heightAnchor().constraintEqualToAnchor(ok->heightAnchor()),
    });
  }
};
}  // namespace

TEST(FrameLayoutTest, ConstraintsAloneGiveEveryFrame) {
  UIDriver ui;
  auto screen = std::make_shared<Card>();
  ui.show(screen);
  EXPECT_EQ(screen->card->frame(), CGRect::make(20, 180, 360, 240));
  EXPECT_EQ(screen->title->frame().origin, (CGPoint{32, 24}));
  EXPECT_EQ(screen->title->frame().width(), 296);
  EXPECT_EQ(screen->title->frame().height(), UIFont().lineHeight()) << "one line of the label's own height";
  // The message wraps at the width the constraints give it.
  double wrapped = screen->message->sizeThatFits({296, 0}).height;
  EXPECT_GT(wrapped, UIFont().lineHeight());
  EXPECT_EQ(screen->message->frame(), CGRect::make(32, 24 + UIFont().lineHeight() + 12, 296, wrapped));
  // Equal widths solved together: 32 + w + 16 + w + 32 = 360.
  EXPECT_EQ(screen->ok->frame(), CGRect::make(32, screen->message->frame().maxY() + 24, 140, 44));
  EXPECT_EQ(screen->forgot->frame(), CGRect::make(188, screen->ok->frame().minY(), 140, 44));
}

TEST(FrameLayoutTest, ANewConstantLaysOutOnTheNextTurn) {
  UIDriver ui;
  auto screen = std::make_shared<Card>();
  ui.show(screen);
  screen->height->setConstant(70 * 5);
  EXPECT_EQ(screen->card->frame().height(), 240) << "not before the layout pass";
  ui.runUntilIdle();
  EXPECT_EQ(screen->card->frame(), CGRect::make(20, 125, 360, 350)) << "still centred";
  // A rotation: the card follows the view's new size.
  screen->stage->setFrame(CGRect::make(0, 0, 600, 400));
  ui.runUntilIdle();
  EXPECT_EQ(screen->card->frame(), CGRect::make(20, 25, 560, 350));
  // An inactive constraint no longer counts; the height then stays as it was.
  screen->height->setActive(false);
  ui.runUntilIdle();
  EXPECT_EQ(screen->card->frame().height(), 350);
}

TEST(FrameLayoutTest, GuidesPrioritiesAndWhatNoConstraintSettles) {
  UIDriver ui;
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  auto root = std::make_shared<UIView>(CGRect::make(0, 0, 300, 500));
  root->setSafeAreaInsetsOverride(UIEdgeInsets{44, 0, 34, 0});
  root->setLayoutMargins({10, 16, 10, 16});
  screen->view()->addSubview(root);
  auto bar = std::make_shared<UIView>(CGRect::make(5, 5, 50, 50));
  bar->setTranslatesAutoresizingMaskIntoConstraints(false);
  auto fixed = std::make_shared<UIView>(CGRect::make(0, 400, 300, 20));  // placed by code
  auto loose = std::make_shared<UIView>(CGRect::make(7, 8, 9, 10));
  loose->setTranslatesAutoresizingMaskIntoConstraints(false);
  for (auto& v : {bar, fixed, loose}) root->addSubview(v);
  auto weak = bar->heightAnchor().constraintEqualToConstant(80);
  weak->setPriority(250);
  NSLayoutConstraint::activateConstraints({
      bar->topAnchor().constraintEqualToAnchor(root->safeAreaLayoutGuide().topAnchor()),
      bar->leadingAnchor().constraintEqualToAnchor(root->layoutMarginsGuide().leadingAnchor()),
      bar->trailingAnchor().constraintEqualToAnchor(root->layoutMarginsGuide().trailingAnchor()),
      weak,
      bar->bottomAnchor().constraintEqualToAnchor(fixed->topAnchor(), -8),
      bar->heightAnchor().constraintGreaterThanOrEqualToConstant(1000),  // inequalities move nothing
      loose->leadingAnchor().constraintEqualToAnchor(bar->leadingAnchor()),
  });
  ui.runUntilIdle();
  EXPECT_EQ(bar->frame(), CGRect::make(16, 44, 268, 348)) << "the required bottom beats the weak height";
  EXPECT_EQ(fixed->frame(), CGRect::make(0, 400, 300, 20)) << "views placed by code keep their frames";
  EXPECT_EQ(loose->frame(), CGRect::make(16, 8, 9, 10)) << "what no constraint settles keeps its frame";
}
