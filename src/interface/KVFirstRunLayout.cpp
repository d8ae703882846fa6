#include "interface/KVFirstRunLayout.h"

#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"

namespace {
constexpr double kSide = 24;
double innerWidth() { return UIScreen::mainScreen().bounds().width() - 2 * kSide; }
}  // namespace

namespace KVFirstRunLayout {
UILabel* addHeading(UIView& view, const std::string& text, double y, double fontSize, NSTextAlignment alignment) {
  auto heading = std::make_shared<UILabel>(CGRect::make(kSide, y, innerWidth(), fontSize + 8));
  heading->setFont(UIFont::boldSystemFontOfSize(fontSize));
  heading->setTextAlignment(alignment);
  // A longer heading (another language, a wider face) is set smaller, whole.
  heading->setAdjustsFontSizeToFitWidth(true);
  heading->setMinimumScaleFactor(0.6);
  heading->setText(text);
  view.addSubview(heading);
  return heading.get();
}

UIButton* addBottomButton(UIView& view, const std::string& title, std::function<void()> action) {
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setFrame(CGRect::make(kSide, UIScreen::mainScreen().bounds().height() - 140, innerWidth(), 50));
  button->setTitle(title);
  button->addTarget(button.get(), [action = std::move(action)](UIControl&) { action(); }, UIControlEventTouchUpInside);
  view.addSubview(button);
  return button.get();
}
}  // namespace KVFirstRunLayout
