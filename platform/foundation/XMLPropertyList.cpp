#include "foundation/XMLPropertyList.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "foundation/Base64.h"
#include "foundation/BinaryPropertyList.h"
#include "foundation/CivilDays.h"
#include "foundation/StringEncoding.h"

namespace XMLPropertyList {
namespace {
// A list written in UTF-16 or UTF-32, told by its byte-order mark or by the zero bytes
// around its first character, as UTF-8; nothing when it is in neither (it is read as
// UTF-8); an empty text when its bytes are not valid in the encoding they begin in.
std::optional<std::string> wideAsUTF8(std::string_view b) {
  auto at = [&](size_t i) { return i < b.size() ? static_cast<unsigned char>(b[i]) : 0x100u; };
  std::optional<StringEncoding> encoding;
  if (at(0) == 0xFF && at(1) == 0xFE && at(2) == 0 && at(3) == 0) encoding = StringEncoding::UTF32LittleEndian;
  else if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF) encoding = StringEncoding::UTF32BigEndian;
  else if (at(0) == 0xFE && at(1) == 0xFF) encoding = StringEncoding::UTF16BigEndian;
  else if (at(0) == 0xFF && at(1) == 0xFE) encoding = StringEncoding::UTF16LittleEndian;
  else if (at(0) != 0 && at(1) == 0 && at(2) == 0 && at(3) == 0) encoding = StringEncoding::UTF32LittleEndian;
  else if (at(0) == 0 && at(1) == 0 && at(2) == 0 && at(3) != 0 && at(3) < 0x100) encoding = StringEncoding::UTF32BigEndian;
  else if (at(0) != 0 && at(0) < 0x100 && at(1) == 0) encoding = StringEncoding::UTF16LittleEndian;
  else if (at(0) == 0 && at(1) != 0 && at(1) < 0x100) encoding = StringEncoding::UTF16BigEndian;
  if (!encoding) return std::nullopt;
  return decodeString(b, *encoding).value_or(std::string());
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// "2021-02-01T10:00:00Z", with a year of any length and sign, a fraction of a second and
// the zone's "Z" optional: seconds since the reference date.
std::optional<double> dateSeconds(std::string_view text) {
  size_t at = 0;
  auto number = [&](size_t minDigits, size_t maxDigits, int64_t& out) {
    size_t start = at;
    out = 0;
    while (at < text.size() && at - start < maxDigits && text[at] >= '0' && text[at] <= '9') out = out * 10 + (text[at++] - '0');
    return at - start >= minDigits;
  };
  auto expect = [&](char c) { return at < text.size() && text[at++] == c; };
  bool negative = at < text.size() && (text[at] == '-' || text[at] == '+') && text[at++] == '-';
  int64_t year, month, day, hour, minute, second;
  if (!number(1, 9, year) || !expect('-') || !number(2, 2, month) || !expect('-') || !number(2, 2, day) ||
      !expect('T') || !number(2, 2, hour) || !expect(':') || !number(2, 2, minute) || !expect(':') ||
      !number(2, 2, second))
    return std::nullopt;
  double fraction = 0;
  if (at < text.size() && text[at] == '.') {
    size_t start = at;
    for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9';) ++at;
    std::from_chars(text.data() + start, text.data() + at, fraction);
  }
  if (at < text.size() && text[at] == 'Z') ++at;
  if (at != text.size() || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    return std::nullopt;
  if (negative) year = -year;
  const int64_t days = CivilDays::fromCivil(year, month, day);
  return static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) + fraction - Date::kUnixToReference;
}

// Decimal or "0x" hexadecimal, with a sign: from -2^63 to 2^64 - 1.
std::optional<Value> integer(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t magnitude = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  if (!negative) return Value(magnitude);
  if (magnitude > uint64_t(INT64_MAX) + 1) return std::nullopt;
  return Value(magnitude == uint64_t(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(magnitude));
}

// A number as the platform writes reals, "nan" and "inf"/"infinity" (either sign) too.
std::optional<Value> real(std::string_view text) {
  bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  double d = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), d);
  if (text.empty() || (plus && text.front() == '-') || end != text.data() + text.size()) return std::nullopt;
  if (ec == std::errc::result_out_of_range) {
    size_t e = text.find_first_of("eE");
    d = e != std::string_view::npos && text.substr(e + 1, 1) == "-" ? 0.0 : (text.front() == '-' ? -HUGE_VAL : HUGE_VAL);
  } else if (ec != std::errc()) {
    return std::nullopt;
  }
  return Value(d);
}

// The nesting is measured before the list is read, so that a list too deep says so
// whatever else is wrong with it: a tag, an end tag, a processing instruction and a
// document type declaration end at the first ">" (or "?>", "]>") outside double quotes,
// and comments and character data sections at the first "-->" or "]]>" after their
// start. Containers count, as in a binary list: <plist> around them and the keys and
// values inside the deepest do not (nothing else is descended into).
// Whether a tag's name, at the start of `name`, is that of a container.
bool isContainer(std::string_view name) {
  for (std::string_view container : {std::string_view("array"), std::string_view("dict")}) {
    if (name.substr(0, container.size()) != container) continue;
    if (name.size() == container.size()) return true;
    char after = name[container.size()];
    return isBlank(after) || after == '>' || after == '/';
  }
  return false;
}

bool nestsTooDeeply(std::string_view b) {
  const size_t n = b.size();
  auto startsWith = [&](size_t at, std::string_view text) { return b.compare(at, text.size(), text) == 0; };
  // Just past the first `text` at or after `at`, optionally outside double quotes; n
  // when there is none.
  auto skipPast = [&](size_t at, std::string_view text, bool quotes) {
    bool quoted = false;
    for (; at + text.size() <= n; ++at) {
      if (quotes && b[at] == '"') quoted = !quoted;
      else if (!quoted && startsWith(at, text)) return at + text.size();
    }
    return n;
  };
  int depth = 0;
  for (size_t i = 0; i < n;) {
    if (b[i] != '<') {
      ++i;
    } else if (startsWith(i, "<!--")) {
      i = skipPast(i + 4, "-->", false);
    } else if (startsWith(i, "<![CDATA[")) {
      i = skipPast(i + 9, "]]>", false);
    } else if (startsWith(i, "<?")) {
      i = skipPast(i + 1, "?>", true);
    } else if (startsWith(i, "<!DOCTYPE")) {
      size_t j = i + 9;
      bool quoted = false;
      for (; j < n; ++j) {
        if (b[j] == '"') quoted = !quoted;
        else if (!quoted && (b[j] == '>' || b[j] == '[')) break;
      }
      i = j < n && b[j] == '[' ? skipPast(j, "]>", true) : j + 1;
    } else {
      // A tag to its ">" outside double quotes; one that ends "/>" is empty.
      bool closing = startsWith(i, "</");
      size_t j = i + 1;
      bool quoted = false;
      for (; j < n; ++j) {
        if (b[j] == '"') quoted = !quoted;
        else if (!quoted && (b[j] == '>' || b[j] == '<')) break;
      }
      bool ended = j < n && b[j] == '>';
      if (isContainer(b.substr(closing ? i + 2 : i + 1))) {
        if (closing && ended) {
          if (depth > 0) --depth;
        } else if (!closing && !(ended && b[j - 1] == '/') && ++depth > BinaryPropertyList::kMaxDepth) {
          return true;
        }
      }
      i = ended ? j + 1 : j;
    }
  }
  return false;
}

// A reader of the markup property lists are written in, as lenient as the platform's
// own: the characters XML forbids (the C0 controls) are text like any other, attributes
// and the document type are read past, and a document is one element, <plist> around
// the list's one value or the value itself. Nesting is counted as it is read: nothing
// deeper than BinaryPropertyList::kMaxDepth is descended into.
class Reader {
 public:
  explicit Reader(std::string_view text) : t_(text) {}

  std::optional<Value> document() {
    if (t_.substr(0, 3) == "\xEF\xBB\xBF") at_ = 3;
    if (!skipMisc(true)) return std::nullopt;
    std::optional<Value> value;
    std::string name;
    bool empty = false;
    if (!startTag(name, empty)) return std::nullopt;
    if (name == "plist") {
      if (empty) return std::nullopt;  // a list without its value
      if (!skipMisc(false)) return std::nullopt;
      std::string inner;
      if (!startTag(inner, empty) || !(value = element(inner, empty, 1)) || !skipMisc(false) || !endTag("plist"))
        return std::nullopt;
    } else if (!(value = element(name, empty, 1))) {
      return std::nullopt;
    }
    if (!skipMisc(false) || at_ != t_.size()) return std::nullopt;
    return value;
  }

  bool tooDeep() const { return tooDeep_; }

 private:
  bool startsWith(std::string_view text) const { return t_.compare(at_, text.size(), text) == 0; }
  // Past the first `text` from here; false when there is none.
  bool skipPast(std::string_view text) {
    size_t found = t_.find(text, at_);
    if (found == std::string_view::npos) return false;
    at_ = found + text.size();
    return true;
  }

  // Blanks, comments and processing instructions (and, before the element, the XML
  // declaration and the document type).
  bool skipMisc(bool prolog) {
    while (true) {
      while (at_ < t_.size() && isBlank(t_[at_])) ++at_;
      if (startsWith("<!--")) {
        at_ += 4;
        if (!skipPast("-->")) return false;
      } else if (startsWith("<?")) {
        at_ += 2;
        if (!skipPast("?>")) return false;
      } else if (prolog && startsWith("<!DOCTYPE")) {
        if (!skipDocumentType()) return false;
      } else {
        return true;
      }
    }
  }

  // To its ">", through an internal subset between "[" and "]" (whose declarations are
  // not read: a document's own entities are unknown references later).
  bool skipDocumentType() {
    char quote = 0;
    int subset = 0;
    for (at_ += 9; at_ < t_.size(); ++at_) {
      char c = t_[at_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (subset && startsWith("<!--")) {
        at_ += 4;
        if (!skipPast("-->")) return false;
        --at_;
      } else if (c == '[') {
        ++subset;
      } else if (c == ']') {
        --subset;
      } else if (c == '>' && subset <= 0) {
        ++at_;
        return true;
      }
    }
    return false;
  }

  // "<name attributes>" or "<name attributes/>".
  bool startTag(std::string& name, bool& empty) {
    if (!startsWith("<")) return false;
    size_t start = ++at_;
    while (at_ < t_.size() && !isBlank(t_[at_]) && t_[at_] != '>' && t_[at_] != '/' && t_[at_] != '<') ++at_;
    name.assign(t_.substr(start, at_ - start));
    if (name.empty()) return false;
    char quote = 0;
    for (; at_ < t_.size(); ++at_) {
      char c = t_[at_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '<') {
        return false;
      } else if (c == '>') {
        empty = t_[at_ - 1] == '/';
        ++at_;
        return true;
      }
    }
    return false;
  }

  bool endTag(std::string_view name) {
    if (!startsWith("</") || t_.compare(at_ + 2, name.size(), name) != 0) return false;
    at_ += 2 + name.size();
    while (at_ < t_.size() && isBlank(t_[at_])) ++at_;
    if (!startsWith(">")) return false;
    ++at_;
    return true;
  }

  // `depth`: the containers this element lies in, itself if it is one.
  std::optional<Value> element(const std::string& name, bool empty, int depth) {
    if (name == "dict" || name == "array") {
      if (depth > BinaryPropertyList::kMaxDepth) {
        tooDeep_ = true;
        return std::nullopt;
      }
      return container(name, empty, depth);
    }
    if (name == "true" || name == "false") {
      if (!empty && !endTag(name)) return std::nullopt;
      return Value(name == "true");
    }
    std::string content;
    if (!empty && !text(name, content)) return std::nullopt;
    if (name == "string") return Value(std::move(content));
    if (name == "integer") return integer(trimmed(content));
    if (name == "real") return real(trimmed(content));
    if (name == "date") {
      auto seconds = dateSeconds(trimmed(content));
      if (!seconds) return std::nullopt;
      return Value(Date{*seconds});
    }
    if (name == "data") {
      auto bytes = Base64::decode(content);
      if (!bytes) return std::nullopt;
      return Value(std::move(*bytes));
    }
    return std::nullopt;
  }

  // The elements of a <dict> (a <key> before each value) or an <array>, to the end tag.
  std::optional<Value> container(const std::string& name, bool empty, int depth) {
    const bool dictionary = name == "dict";
    Value::Dictionary entries;
    Value::Array items;
    while (!empty) {
      if (!skipMisc(false)) return std::nullopt;
      if (startsWith("</")) {
        if (!endTag(name)) return std::nullopt;
        break;
      }
      std::string child;
      bool childEmpty = false;
      if (!startTag(child, childEmpty)) return std::nullopt;  // text among the elements
      if (!dictionary) {
        auto item = element(child, childEmpty, depth + 1);
        if (!item) return std::nullopt;
        items.push_back(std::move(*item));
        continue;
      }
      std::string key, valueName;
      if (child != "key" || (!childEmpty && !text(child, key)) || !skipMisc(false) || !startTag(valueName, childEmpty))
        return std::nullopt;  // no key, or a key without its value
      auto item = element(valueName, childEmpty, depth + 1);
      if (!item) return std::nullopt;
      entries.insert_or_assign(std::move(key), std::move(*item));  // a repeated key: the last one
    }
    return dictionary ? Value(std::move(entries)) : Value(std::move(items));
  }

  // The text of an element to its end tag: characters, references and character data
  // sections, with comments among them; no element inside.
  bool text(std::string_view name, std::string& out) {
    while (at_ < t_.size()) {
      size_t next = t_.find_first_of("<&", at_);
      if (next == std::string_view::npos) return false;
      out.append(t_.substr(at_, next - at_));
      at_ = next;
      if (t_[at_] == '&') {
        if (!reference(out)) return false;
      } else if (startsWith("<![CDATA[")) {
        size_t end = t_.find("]]>", at_ + 9);
        if (end == std::string_view::npos) return false;
        out.append(t_.substr(at_ + 9, end - at_ - 9));
        at_ = end + 3;
      } else if (startsWith("<!--")) {
        at_ += 4;
        if (!skipPast("-->")) return false;
      } else if (startsWith("<?")) {
        at_ += 2;
        if (!skipPast("?>")) return false;
      } else {
        return endTag(name);
      }
    }
    return false;
  }

  // The five entities of XML and references to characters by number.
  bool reference(std::string& out) {
    size_t end = t_.find(';', at_);
    if (end == std::string_view::npos || end - at_ > 12) return false;
    std::string_view name = t_.substr(at_ + 1, end - at_ - 1);
    at_ = end + 1;
    static constexpr std::pair<std::string_view, char> kNamed[] = {
        {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
    for (auto [entity, c] : kNamed)
      if (name == entity) return out += c, true;
    if (name.size() < 2 || name[0] != '#') return false;
    const bool hex = name[1] == 'x';
    std::string_view digits = name.substr(hex ? 2 : 1);
    uint32_t code = 0;
    auto [stop, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
    if (digits.empty() || ec != std::errc() || stop != digits.data() + digits.size() || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF))
      return false;
    appendUTF8(out, code);
    return true;
  }

  std::string_view t_;
  size_t at_ = 0;
  bool tooDeep_ = false;
};

std::optional<Value> fail(std::string* error, const char* text) {
  if (error) *error = text;
  return std::nullopt;
}
}  // namespace

std::optional<Value> read(const Data& bytes, std::string* error) {
  std::string_view document(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  auto wide = wideAsUTF8(document);
  if (wide) {
    if (wide->empty()) return fail(error, BinaryPropertyList::kFormatError);
    document = *wide;
  }
  if (nestsTooDeeply(document)) return fail(error, BinaryPropertyList::kDepthError);
  Reader reader(document);
  auto value = reader.document();
  if (!value) return fail(error, reader.tooDeep() ? BinaryPropertyList::kDepthError : BinaryPropertyList::kFormatError);
  return value;
}
}  // namespace XMLPropertyList
