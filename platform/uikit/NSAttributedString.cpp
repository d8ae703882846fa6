#include "uikit/NSAttributedString.h"

#include <algorithm>
#include <stdexcept>

#include "foundation/StringEncoding.h"

void NSTextAttributes::merge(const NSTextAttributes& o) {
  if (o.foregroundColor) foregroundColor = o.foregroundColor;
  if (o.backgroundColor) backgroundColor = o.backgroundColor;
  if (o.font) font = o.font;
  if (o.link) link = o.link;
  if (o.underlineStyle) underlineStyle = o.underlineStyle;
  if (o.underlineColor) underlineColor = o.underlineColor;
  if (o.paragraphStyle) paragraphStyle = o.paragraphStyle;
}

void NSTextAttributes::remove(NSAttributeKey key) {
  switch (key) {
    case NSAttributeKey::Font: font.reset(); break;
    case NSAttributeKey::ForegroundColor: foregroundColor.reset(); break;
    case NSAttributeKey::BackgroundColor: backgroundColor.reset(); break;
    case NSAttributeKey::Link: link.reset(); break;
    case NSAttributeKey::UnderlineStyle: underlineStyle.reset(); break;
    case NSAttributeKey::UnderlineColor: underlineColor.reset(); break;
    case NSAttributeKey::ParagraphStyle: paragraphStyle.reset(); break;
  }
}

NSAttributedString::NSAttributedString(const std::string& text, NSTextAttributes attributes) {
  append(text, attributes);
}

std::string NSAttributedString::string() const { return utf8FromUTF16(text_); }

std::vector<NSTextRun> NSAttributedString::runs() const {
  std::vector<NSTextRun> out;
  size_t at = 0;
  for (const auto& span : spans_) {
    NSRange range{at, span.length};
    out.push_back({utf8FromUTF16(std::u16string_view(text_).substr(at, span.length)), span.attributes, range});
    at += span.length;
  }
  return out;
}

void NSAttributedString::check(NSRange range) const {
  if (range.location > text_.size() || range.length > text_.size() - range.location)
    throw std::out_of_range("range {" + std::to_string(range.location) + ", " + std::to_string(range.length) +
                            "} out of bounds; string length " + std::to_string(text_.size()));
}

std::string NSAttributedString::substringWithRange(NSRange range) const {
  check(range);
  return utf8FromUTF16(std::u16string_view(text_).substr(range.location, range.length));
}

NSAttributedString NSAttributedString::attributedSubstringFromRange(NSRange range) const {
  check(range);
  NSAttributedString out;
  enumerateAttributesInRange(range, [&](const NSTextAttributes& a, NSRange r) {
    out.text_.append(text_, r.location, r.length);
    out.spans_.push_back({r.length, a});
  });
  return out;
}

NSTextAttributes NSAttributedString::attributesAtIndex(size_t index, NSRange* effectiveRange) const {
  if (index >= text_.size()) check({index, 1});
  size_t at = 0;
  for (const auto& span : spans_) {
    if (index < at + span.length) {
      if (effectiveRange) *effectiveRange = {at, span.length};
      return span.attributes;
    }
    at += span.length;
  }
  return {};
}

void NSAttributedString::enumerateAttributesInRange(
    NSRange range, const std::function<void(const NSTextAttributes&, NSRange)>& block) const {
  check(range);
  size_t at = 0;
  for (const auto& span : spans_) {
    size_t from = std::max(at, range.location), to = std::min(at + span.length, range.end());
    if (from < to) block(span.attributes, {from, to - from});
    at += span.length;
    if (at >= range.end()) break;
  }
}

NSRange NSAttributedString::rangeOfString(const std::string& text, size_t from) const {
  std::u16string needle = utf16FromUTF8(text);
  if (needle.empty() || from > text_.size()) return {NSNotFound, 0};
  size_t found = text_.find(needle, from);
  if (found == std::u16string::npos) return {NSNotFound, 0};
  return {found, needle.size()};
}

std::vector<std::pair<NSRange, std::string>> NSAttributedString::links() const {
  std::vector<std::pair<NSRange, std::string>> out;
  size_t at = 0;
  for (const auto& span : spans_) {
    if (span.attributes.link) {
      if (!out.empty() && out.back().first.end() == at && out.back().second == *span.attributes.link)
        out.back().first.length += span.length;
      else
        out.push_back({{at, span.length}, *span.attributes.link});
    }
    at += span.length;
  }
  return out;
}

void NSAttributedString::append(const std::string& text, const NSTextAttributes& attributes) {
  std::u16string units = utf16FromUTF8(text);
  if (units.empty()) return;
  text_ += units;
  if (!spans_.empty() && spans_.back().attributes == attributes) spans_.back().length += units.size();
  else spans_.push_back({units.size(), attributes});
}

void NSAttributedString::appendAttributedString(const NSAttributedString& other) {
  text_ += other.text_;
  spans_.insert(spans_.end(), other.spans_.begin(), other.spans_.end());
  coalesce();
}

size_t NSAttributedString::splitAt(size_t offset) {
  size_t at = 0;
  for (size_t i = 0; i < spans_.size(); ++i) {
    if (offset == at) return i;
    size_t end = at + spans_[i].length;
    if (offset < end) {
      Span tail{end - offset, spans_[i].attributes};
      spans_[i].length = offset - at;
      spans_.insert(spans_.begin() + long(i) + 1, std::move(tail));
      return i + 1;
    }
    at = end;
  }
  return spans_.size();
}

void NSAttributedString::coalesce() {
  std::vector<Span> out;
  for (auto& span : spans_) {
    if (span.length == 0) continue;
    if (!out.empty() && out.back().attributes == span.attributes) out.back().length += span.length;
    else out.push_back(std::move(span));
  }
  spans_.swap(out);
}

template <typename Change>
void NSAttributedString::changeAttributes(NSRange range, Change change) {
  check(range);
  if (range.length == 0) return;
  size_t first = splitAt(range.location);
  size_t last = splitAt(range.end());
  for (size_t i = first; i < last; ++i) change(spans_[i].attributes);
  coalesce();
}

void NSAttributedString::addAttributes(const NSTextAttributes& attributes, NSRange range) {
  changeAttributes(range, [&](NSTextAttributes& a) { a.merge(attributes); });
}

void NSAttributedString::setAttributes(const NSTextAttributes& attributes, NSRange range) {
  changeAttributes(range, [&](NSTextAttributes& a) { a = attributes; });
}

void NSAttributedString::removeAttribute(NSAttributeKey key, NSRange range) {
  changeAttributes(range, [&](NSTextAttributes& a) { a.remove(key); });
}

void NSAttributedString::replaceCharactersInRange(NSRange range, const std::string& text) {
  check(range);
  NSTextAttributes inherited;
  if (range.location < text_.size()) inherited = attributesAtIndex(range.location);
  else if (range.location > 0) inherited = attributesAtIndex(range.location - 1);
  size_t first = splitAt(range.location);
  size_t last = splitAt(range.end());
  spans_.erase(spans_.begin() + long(first), spans_.begin() + long(last));
  std::u16string units = utf16FromUTF8(text);
  text_.replace(range.location, range.length, units);
  if (!units.empty()) spans_.insert(spans_.begin() + long(first), Span{units.size(), inherited});
  coalesce();
}

void NSAttributedString::deleteCharactersInRange(NSRange range) { replaceCharactersInRange(range, {}); }
