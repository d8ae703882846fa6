#include "uikit/NSAttributedString.h"

NSAttributedString::NSAttributedString(std::string text, NSTextAttributes attributes) {
  if (!text.empty()) runs_.push_back({std::move(text), std::move(attributes)});
}

std::string NSAttributedString::string() const {
  std::string out;
  for (const auto& run : runs_) out += run.text;
  return out;
}

size_t NSAttributedString::length() const {
  size_t n = 0;
  for (const auto& run : runs_) n += run.text.size();
  return n;
}

NSTextAttributes NSAttributedString::attributesAtIndex(size_t index) const {
  size_t at = 0;
  for (const auto& run : runs_) {
    if (index < at + run.text.size()) return run.attributes;
    at += run.text.size();
  }
  return runs_.empty() ? NSTextAttributes{} : runs_.back().attributes;
}

void NSAttributedString::appendAttributedString(const NSAttributedString& other) {
  for (const auto& run : other.runs_) append(run.text, run.attributes);
}

void NSAttributedString::append(const std::string& text, const NSTextAttributes& attributes) {
  if (text.empty()) return;
  if (!runs_.empty() && runs_.back().attributes == attributes) {
    runs_.back().text += text;
  } else {
    runs_.push_back({text, attributes});
  }
}

void NSAttributedString::splitAt(size_t offset) {
  size_t at = 0;
  for (size_t i = 0; i < runs_.size(); ++i) {
    size_t end = at + runs_[i].text.size();
    if (offset > at && offset < end) {
      NSTextRun tail{runs_[i].text.substr(offset - at), runs_[i].attributes};
      runs_[i].text.resize(offset - at);
      runs_.insert(runs_.begin() + long(i) + 1, std::move(tail));
      return;
    }
    at = end;
  }
}

void NSAttributedString::addAttributes(const NSTextAttributes& attributes, size_t location, size_t length) {
  if (length == 0) return;
  splitAt(location);
  splitAt(location + length);
  size_t at = 0;
  for (auto& run : runs_) {
    if (at >= location && at < location + length) {
      if (attributes.foregroundColor) run.attributes.foregroundColor = attributes.foregroundColor;
      if (attributes.backgroundColor) run.attributes.backgroundColor = attributes.backgroundColor;
      if (attributes.font) run.attributes.font = attributes.font;
      if (attributes.link) run.attributes.link = attributes.link;
    }
    at += run.text.size();
  }
}
