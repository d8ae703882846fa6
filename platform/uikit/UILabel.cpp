#include "uikit/UILabel.h"

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
  double width = 0;
  long lines = 0;
  size_t start = 0;
  while (start <= text_.size()) {
    size_t end = text_.find('\n', start);
    std::string line = text_.substr(start, end == std::string::npos ? std::string::npos : end - start);
    double w = font_.widthOfString(line);
    long wraps = 1;
    if (numberOfLines_ != 1 && size.width > 0 && w > size.width) {
      wraps = long(std::ceil(w / size.width));
      w = size.width;
    }
    width = std::max(width, w);
    lines += wraps;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (numberOfLines_ > 0) lines = std::min(lines, numberOfLines_);
  return {std::ceil(width), lines * font_.lineHeight()};
}

CGSize UILabel::intrinsicContentSize() const { return sizeThatFits({0, 0}); }

bool UILabel::appendScreenText(std::vector<std::string>& lines) const {
  if (!text_.empty()) lines.push_back(UIScreenTextFormat::oneLine(text_) + (enabled_ ? "" : " (dimmed)"));
  return true;
}
