#include "operations/KVVerboseLogView.h"

#include <algorithm>
#include <cmath>

#include "uikit/NSAttributedString.h"
#include "uikit/UIScreenTextFormat.h"

namespace {
// The marks of the log kinds that are more than plain text.
std::string markFor(const std::optional<UIColor>& color) {
  if (!color) return "";
  if (*color == KVVerboseLogView::failureColor() || *color == UIColor::systemRedColor()) return "[red] ";
  if (*color == UIColor::systemYellowColor()) return "[yellow] ";
  if (*color == UIColor::systemGreenColor()) return "[green] ";
  return "";
}
}  // namespace

KVVerboseLogView::KVVerboseLogView(CGRect frame) : UITextView() {
  setFrame(frame);
  setEditable(false);
}

UIColor KVVerboseLogView::failureColor() { return UIColor::colorWithRed(1, 0.45, 0.42, 1); }

double KVVerboseLogView::lineHeight() const { return UIFont::systemFontOfSize(12).lineHeight(); }

size_t KVVerboseLogView::lineCount() const {
  const std::string text = attributedText().string();
  if (text.empty()) return 0;
  return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
}

void KVVerboseLogView::appendText(const std::string& text, const UIColor& color, const UIFont& font) {
  NSAttributedString log = attributedText();
  NSTextAttributes attributes;
  attributes.foregroundColor = color;
  attributes.font = font;
  log.append(text, attributes);
  setAttributedText(std::move(log));
  setContentSize({bounds().width(), lineHeight() * static_cast<double>(lineCount())});
}

void KVVerboseLogView::scrollToEnd() { setContentOffset(maximumContentOffset()); }

bool KVVerboseLogView::appendScreenText(std::vector<std::string>& lines) const {
  // The log's lines with the colour of their first character, then the viewport's share.
  std::vector<std::string> all;
  bool lineStart = true;
  for (const auto& run : attributedText().runs()) {
    size_t from = 0;
    while (from <= run.text.size()) {
      size_t end = run.text.find('\n', from);
      std::string piece = run.text.substr(from, end == std::string::npos ? std::string::npos : end - from);
      // A line begun by the next run takes that run's mark.
      if (end == std::string::npos && piece.empty()) break;
      if (lineStart) all.push_back(markFor(run.attributes.foregroundColor) + piece);
      else all.back() += piece;
      if (end == std::string::npos) {
        lineStart = false;
        break;
      }
      lineStart = true;
      from = end + 1;
    }
  }
  const double height = lineHeight();
  size_t first = static_cast<size_t>(std::max(0.0, std::floor(contentOffset().y / height)));
  size_t visible = static_cast<size_t>(std::max(1.0, std::floor(bounds().height() / height)));
  for (size_t i = first; i < all.size() && i < first + visible; ++i)
    lines.push_back("log: " + UIScreenTextFormat::oneLine(all[i], 200));
  return true;
}
