#include "uikit/UIAlertController.h"

#include <algorithm>

#include "uikit/UIDevice.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenTextFormat.h"

std::shared_ptr<UIAlertAction> UIAlertAction::actionWithTitle(std::string title, UIAlertActionStyle style, Handler handler) {
  auto a = std::make_shared<UIAlertAction>();
  a->title_ = std::move(title);
  a->style_ = style;
  a->handler_ = std::move(handler);
  return a;
}

std::shared_ptr<UIAlertController> UIAlertController::alertControllerWithTitle(std::optional<std::string> title,
                                                                               std::optional<std::string> message,
                                                                               UIAlertControllerStyle style) {
  auto a = std::make_shared<UIAlertController>();
  a->alertTitle_ = title;
  if (title) a->setTitle(*title);
  a->message_ = std::move(message);
  a->style_ = style;
  bool pad = UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad;
  a->setModalPresentationStyle(style == UIAlertControllerStyleActionSheet && pad ? UIModalPresentationPopover
                                                                                 : UIModalPresentationCustom);
  return a;
}

UIModalPresentationStyle UIAlertController::effectivePresentationStyle() const {
  auto style = modalPresentationStyle();
  if (style == UIModalPresentationPopover && UIDevice::currentDevice().userInterfaceIdiom() != UIUserInterfaceIdiomPad)
    return UIModalPresentationCustom;
  return style == UIModalPresentationAutomatic ? UIModalPresentationCustom : style;
}

void UIAlertController::addAction(std::shared_ptr<UIAlertAction> action) {
  UI_MAIN_THREAD_ONLY();
  if (action) actions_.push_back(std::move(action));
}

void UIAlertController::addTextFieldWithConfigurationHandler(const std::function<void(UITextField&)>& configure) {
  auto field = std::make_shared<UITextField>();
  if (configure) configure(*field);
  textFields_.push_back(field);
  view()->addSubview(field);
}

bool UIAlertController::chooseActionByUser(const std::string& title) {
  if (chosen_) return false;
  for (auto& action : actions_) {
    if (action->title() != title || !action->isEnabled()) continue;
    chosen_ = true;
    auto self = std::static_pointer_cast<UIAlertController>(shared_from_this());
    dismissViewControllerAnimated(true, [action, self] {
      if (action->handler()) action->handler()(*action);
    });
    return true;
  }
  return false;
}

void UIAlertController::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back(std::string(style_ == UIAlertControllerStyleAlert ? "alert" : "action sheet") +
                  (alertTitle_ ? ": " + UIScreenTextFormat::oneLine(*alertTitle_) : ""));
  if (message_ && !message_->empty()) lines.push_back(UIScreenTextFormat::oneLine(*message_, 400));
  for (auto& f : textFields_) f->appendScreenText(lines);
  std::string buttons;
  for (auto& a : actions_) {
    buttons += (buttons.empty() ? "" : "  ") + std::string("[") + a->title() + "]";
    if (a->style() == UIAlertActionStyleCancel) buttons += " (cancel)";
    if (a->style() == UIAlertActionStyleDestructive) buttons += " (destructive)";
    if (!a->isEnabled()) buttons += " (disabled)";
  }
  if (!buttons.empty()) lines.push_back(buttons);
}

namespace {
double textHeight(const std::string& text, const UIFont& font, double width) {
  if (text.empty()) return 0;
  UILabel label;
  label.setFont(font);
  label.setNumberOfLines(0);
  label.setText(text);
  return label.sizeThatFits({width, 0}).height;
}
}  // namespace

UIAlertCardLayout UIAlertController::cardLayout() const {
  UIAlertCardLayout out;
  CGRect bounds = isViewLoaded() ? const_cast<UIAlertController*>(this)->view()->bounds() : UIScreen::mainScreen().bounds();
  bool sheet = style_ == UIAlertControllerStyleActionSheet;
  double width = sheet ? std::min(bounds.width() - 16, 400.0) : 270;
  double textWidth = width - 32;
  UIFont titleFont = sheet ? UIFont::systemFontOfSize(13, UIFontWeightSemibold) : UIFont::systemFontOfSize(17, UIFontWeightSemibold);
  UIFont messageFont = UIFont::systemFontOfSize(13);
  double y = 0;
  auto place = [&](CGRect& rect, const std::optional<std::string>& text, const UIFont& font) {
    double h = text ? textHeight(*text, font, textWidth) : 0;
    if (h <= 0) return;
    y += y == 0 ? (sheet ? 14 : 20) : 4;
    rect = CGRect::make(16, y, textWidth, h);
    y += h;
  };
  place(out.title, alertTitle_, titleFont);
  place(out.message, message_, messageFont);
  if (y > 0) y += sheet ? 14 : 16;
  for (size_t i = 0; i < textFields_.size(); ++i) {
    out.fields.push_back(CGRect::make(16, y, textWidth, 28));
    y += 28 + (i + 1 == textFields_.size() ? 16 : 0);
  }
  double row = sheet ? 57 : 44;
  std::vector<size_t> inCard, cancel;
  for (size_t i = 0; i < actions_.size(); ++i)
    (actions_[i]->style() == UIAlertActionStyleCancel && (sheet || actions_.size() != 2) ? cancel : inCard).push_back(i);
  out.buttons.assign(actions_.size(), CGRect{});
  out.sideBySide = !sheet && actions_.size() == 2;
  if (out.sideBySide) {
    // The cancel action on the left, as people expect it there.
    size_t left = actions_[1]->style() == UIAlertActionStyleCancel ? 1 : 0;
    out.buttons[left] = CGRect::make(0, y, width / 2, row);
    out.buttons[1 - left] = CGRect::make(width / 2, y, width / 2, row);
    y += row;
  } else {
    for (size_t i : inCard) {
      out.buttons[i] = CGRect::make(0, y, width, row);
      y += row;
    }
    if (!sheet)
      for (size_t i : cancel) {
        out.buttons[i] = CGRect::make(0, y, width, row);
        y += row;
      }
  }
  double x = bounds.minX() + (bounds.width() - width) / 2;
  double top;
  if (sheet) {
    double below = cancel.empty() ? 0 : 8 + row * double(cancel.size());
    top = bounds.maxY() - std::max(8.0, UIScreen::mainScreen().safeAreaInsets().bottom) - below - y;
    if (!cancel.empty()) {
      out.cancelCard = CGRect::make(x, top + y + 8, width, row * double(cancel.size()));
      for (size_t k = 0; k < cancel.size(); ++k)
        out.buttons[cancel[k]] = CGRect::make(0, y + 8 + row * double(k), width, row);
    }
  } else {
    top = bounds.minY() + std::max(0.0, (bounds.height() - y) / 2);
  }
  out.card = CGRect::make(x, top, width, y);
  // Everything but the cards in the view's own coordinates.
  auto shift = [&](CGRect& r) {
    if (r.size.width > 0 || r.size.height > 0) r = CGRect::make(r.minX() + x, r.minY() + top, r.width(), r.height());
  };
  shift(out.title);
  shift(out.message);
  for (auto& f : out.fields) shift(f);
  for (auto& b : out.buttons) shift(b);
  return out;
}

void UIAlertController::viewDidLayoutSubviews() {
  UIViewController::viewDidLayoutSubviews();
  UIAlertCardLayout layout = cardLayout();
  for (size_t i = 0; i < textFields_.size() && i < layout.fields.size(); ++i) textFields_[i]->setFrame(layout.fields[i]);
}
