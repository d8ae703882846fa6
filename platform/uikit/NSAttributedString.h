#pragma once
// Text in runs that each carry a colour, a font and a link.
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIColor.h"
#include "uikit/UIFont.h"

struct NSTextAttributes {
  std::optional<UIColor> foregroundColor;
  std::optional<UIColor> backgroundColor;
  std::optional<UIFont> font;
  std::optional<std::string> link;
  bool operator==(const NSTextAttributes& o) const {
    return foregroundColor == o.foregroundColor && backgroundColor == o.backgroundColor &&
           font == o.font && link == o.link;
  }
};

struct NSTextRun {
  std::string text;
  NSTextAttributes attributes;
};

class NSAttributedString {
 public:
  NSAttributedString() = default;
  explicit NSAttributedString(std::string text, NSTextAttributes attributes = {});

  std::string string() const;
  size_t length() const;  // in bytes of UTF-8
  bool empty() const { return length() == 0; }
  const std::vector<NSTextRun>& runs() const { return runs_; }
  // The attributes in force at a byte offset (of the last run at the end).
  NSTextAttributes attributesAtIndex(size_t index) const;

  void appendAttributedString(const NSAttributedString& other);
  void append(const std::string& text, const NSTextAttributes& attributes = {});
  // Sets (merges) attributes over a byte range, splitting runs as needed.
  void addAttributes(const NSTextAttributes& attributes, size_t location, size_t length);

 private:
  void splitAt(size_t offset);
  std::vector<NSTextRun> runs_;
};
