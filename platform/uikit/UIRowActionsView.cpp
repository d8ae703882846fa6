#include "uikit/UIRowActionsView.h"

#include <algorithm>

#include "uikit/UIFont.h"

namespace {
UIFont titleFont(UIRowActionsView::Kind kind) {
  return kind == UIRowActionsView::Kind::Menu ? UIFont::systemFontOfSize(15) : UIFont::systemFontOfSize(15, UIFontWeightMedium);
}

// As wide as its title with room at both ends; a swipe action never narrower than a
// finger's width.
double naturalWidth(UIRowActionsView::Kind kind, const std::string& title) {
  double text = titleFont(kind).widthOfString(title);
  return kind == UIRowActionsView::Kind::Menu ? text + 28 : std::max(74.0, text + 30);
}
}  // namespace

UIRowActionsView::UIRowActionsView(Kind kind, std::vector<UITableViewSwipeAction> actions,
                                   std::function<void(size_t)> chosen)
    : kind_(kind), actions_(std::move(actions)) {
  setClipsToBounds(true);
  if (kind_ == Kind::Menu) {
    setBackgroundColor(UIColor::colorWithWhite(0.12, 0.94));
    layer().cornerRadius = 8;
  }
  std::vector<size_t> order(actions_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = kind_ == Kind::Trailing ? order.size() - 1 - i : i;
  for (size_t index : order) {
    const UITableViewSwipeAction& action = actions_[index];
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setTitle(action.title);
    button->setTitleColor(UIColor::whiteColor());
    button->titleLabel()->setFont(titleFont(kind_));
    if (kind_ != Kind::Menu)
      button->setBackgroundColor(action.color.value_or(action.destructive ? UIColor::systemRedColor() : UIColor::systemGrayColor()));
    button->addTarget(this, [chosen, index](UIControl&) { chosen(index); }, UIControlEventTouchUpInside);
    addSubview(button);
    buttons_.push_back(button);
  }
}

double UIRowActionsView::fullWidth() const {
  double width = 0;
  for (const auto& action : actions_) width += naturalWidth(kind_, action.title);
  return width;
}

void UIRowActionsView::layoutSubviews() {
  UIView::layoutSubviews();
  double full = fullWidth();
  double scale = full > 0 ? bounds().width() / full : 0;
  double x = 0;
  for (const auto& button : buttons_) {
    double width = naturalWidth(kind_, button->currentTitle()) * scale;
    button->setFrame(CGRect::make(x, 0, width, bounds().height()));
    x += width;
  }
}

bool UIRowActionsView::appendScreenText(std::vector<std::string>& lines) const {
  std::string line;
  for (const auto& button : buttons_) line += (line.empty() ? "" : " ") + button->screenLabel();
  lines.push_back(line);
  return true;
}
