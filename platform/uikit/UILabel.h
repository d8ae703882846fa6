#pragma once
#include <optional>

#include "uikit/NSAttributedString.h"
#include "uikit/NSParagraphStyle.h"
#include "uikit/UIFont.h"
#include "uikit/UIView.h"

class UILabel : public UIView {
 public:
  UILabel();
  explicit UILabel(CGRect frame);

  const std::string& text() const { return text_; }
  void setText(std::string text);
  // Setting attributed text sets the plain text too; setting plain text clears the runs.
  const std::optional<NSAttributedString>& attributedText() const { return attributedText_; }
  void setAttributedText(std::optional<NSAttributedString> text);
  const UIFont& font() const { return font_; }
  void setFont(UIFont font) { UI_MAIN_THREAD_ONLY(); font_ = std::move(font); }
  UIColor textColor() const { return textColor_; }
  void setTextColor(std::optional<UIColor> color) { UI_MAIN_THREAD_ONLY(); textColor_ = color.value_or(UIColor::darkTextColor()); }
  NSTextAlignment textAlignment() const { return alignment_; }
  void setTextAlignment(NSTextAlignment alignment) { UI_MAIN_THREAD_ONLY(); alignment_ = alignment; }
  long numberOfLines() const { return numberOfLines_; }
  void setNumberOfLines(long lines) { UI_MAIN_THREAD_ONLY(); numberOfLines_ = lines; }
  NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
  void setLineBreakMode(NSLineBreakMode mode) { lineBreakMode_ = mode; }
  bool adjustsFontSizeToFitWidth() const { return adjustsFontSize_; }
  void setAdjustsFontSizeToFitWidth(bool value) { adjustsFontSize_ = value; }
  double minimumScaleFactor() const { return minimumScaleFactor_; }
  void setMinimumScaleFactor(double f) { minimumScaleFactor_ = f; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

  // Width of the text on one line; wrapped at the given width when lines are allowed.
  CGSize sizeThatFits(CGSize size) const override;
  CGSize intrinsicContentSize() const override;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::string text_;
  std::optional<NSAttributedString> attributedText_;
  UIFont font_;
  UIColor textColor_ = UIColor::darkTextColor();
  NSTextAlignment alignment_ = NSTextAlignmentNatural;
  long numberOfLines_ = 1;
  NSLineBreakMode lineBreakMode_ = NSLineBreakByTruncatingTail;
  bool adjustsFontSize_ = false;
  double minimumScaleFactor_ = 0;
  bool enabled_ = true;
};
