#include "uikit/UILabel.h"

#include <algorithm>
#include <cmath>

#include "uikit/UIScreenTextFormat.h"

UILabel::UILabel() { setUserInteractionEnabled(false); }
UILabel::UILabel(CGRect frame) : UIView(frame) { setUserInteractionEnabled(false); }

void UILabel::setText(std::string text) {
  UI_MAIN_THREAD_ONLY();
  bool changed = text != text_ || attributedText_;
  text_ = std::move(text);
  attributedText_.reset();
  if (changed) invalidateIntrinsicContentSize();
}

void UILabel::setAttributedText(std::optional<NSAttributedString> text) {
  UI_MAIN_THREAD_ONLY();
  attributedText_ = std::move(text);
  text_ = attributedText_ ? attributedText_->string() : std::string();
  invalidateIntrinsicContentSize();
}

CGSize UILabel::sizeThatFits(CGSize size) const {
  if (text_.empty()) return {0, 0};
  UIFont::Extent extent = font_.measure(text_, numberOfLines_ != 1 ? size.width : 0);
  long lines = numberOfLines_ > 0 ? std::min(extent.lines, numberOfLines_) : extent.lines;
  return {std::ceil(extent.width), lines * font_.lineHeight()};
}

CGSize UILabel::intrinsicContentSize() const { return sizeThatFits({0, 0}); }

bool UILabel::appendScreenText(std::vector<std::string>& lines) const {
  if (!text_.empty()) lines.push_back(UIScreenTextFormat::oneLine(text_) + (enabled_ ? "" : " (dimmed)"));
  return true;
}
