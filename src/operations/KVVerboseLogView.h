#pragma once
// The verbose log's text view: a coloured text that only grows. On the terminal it shows
// the lines its viewport holds, each line of the red or yellow kinds marked, so scrolling
// moves through the log as it does on a device.
#include <string>

#include "uikit/UIColor.h"
#include "uikit/UITextView.h"

class KVVerboseLogView : public UITextView {
 public:
  explicit KVVerboseLogView(CGRect frame);
  // Appends the text in the colour and font; the content grows to hold it.
  void appendText(const std::string& text, const UIColor& color, const UIFont& font);
  // Scrolls so that the last line is visible.
  void scrollToEnd();
  size_t lineCount() const;
  // The red of a failure's lines: lighter than the platform's, which stands out from the
  // log's dark grey by 4.46 to 1 only.
  static UIColor failureColor();

  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  double lineHeight() const;
};
