#include "foundation/XMLPropertyListWriter.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "foundation/Base64.h"
#include "foundation/CivilDays.h"

namespace XMLPropertyListWriter {
namespace {
// "2023-11-14T22:13:20Z": the second the date falls in. Years have four digits or more,
// and a sign before the first; a date past the years a reader takes (nine digits) is
// written as the nearest one it takes, and one that is no number as the reference date.
std::string dateText(Date date) {
  constexpr int64_t kReference = static_cast<int64_t>(Date::kUnixToReference);
  constexpr int64_t kFirst = CivilDays::fromCivil(-999999999, 1, 1) * 86400 - kReference;
  constexpr int64_t kLast = CivilDays::fromCivil(999999999, 12, 31) * 86400 + 86399 - kReference;
  int64_t seconds = 0;
  if (date.seconds <= static_cast<double>(kFirst)) seconds = kFirst;
  else if (date.seconds >= static_cast<double>(kLast)) seconds = kLast;
  else if (!std::isnan(date.seconds)) seconds = static_cast<int64_t>(std::floor(date.seconds));
  seconds += kReference;
  int64_t days = seconds / 86400, second = seconds % 86400;
  if (second < 0) {
    second += 86400;
    --days;
  }
  const CivilDays::Civil civil = CivilDays::toCivil(days);
  char text[64];
  std::snprintf(text, sizeof text, "%s%04lld-%02d-%02dT%02d:%02d:%02dZ", civil.year < 0 ? "-" : "",
                static_cast<long long>(civil.year < 0 ? -civil.year : civil.year), civil.month, civil.day,
                static_cast<int>(second / 3600), static_cast<int>(second / 60 % 60), static_cast<int>(second % 60));
  return text;
}

// The shortest text that reads back as the same double ("nan", "inf" and "-inf" too).
std::string realText(double d) {
  char text[64];
  auto result = std::to_chars(text, text + sizeof text, d);
  return std::string(text, result.ptr);
}

void appendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
}

class Writer {
 public:
  std::string out;

  void element(const Value& value, int depth) {
    out.append(depth, '\t');
    switch (value.type()) {
      case Value::Type::Null: out += "<string></string>\n"; return;
      case Value::Type::Bool: out += value.asBool() ? "<true/>\n" : "<false/>\n"; return;
      case Value::Type::Integer:
        out += "<integer>" + value.asString() + "</integer>\n";
        return;
      case Value::Type::Real: out += "<real>" + realText(value.asDouble()) + "</real>\n"; return;
      case Value::Type::String:
        out += "<string>";
        appendEscaped(out, *value.stringPtr());
        out += "</string>\n";
        return;
      case Value::Type::Data: out += "<data>" + Base64::encode(*value.dataPtr()) + "</data>\n"; return;
      case Value::Type::Date: out += "<date>" + dateText(*value.datePtr()) + "</date>\n"; return;
      case Value::Type::Array: {
        const Value::Array& items = *value.arrayPtr();
        if (items.empty()) {
          out += "<array/>\n";
          return;
        }
        out += "<array>\n";
        for (const Value& item : items) element(item, depth + 1);
        out.append(depth, '\t');
        out += "</array>\n";
        return;
      }
      case Value::Type::Dictionary: {
        const Value::Dictionary& entries = *value.dictionaryPtr();
        if (entries.empty()) {
          out += "<dict/>\n";
          return;
        }
        out += "<dict>\n";
        for (const auto& [key, item] : entries) {
          out.append(depth + 1, '\t');
          out += "<key>";
          appendEscaped(out, key);
          out += "</key>\n";
          element(item, depth + 1);
        }
        out.append(depth, '\t');
        out += "</dict>\n";
        return;
      }
    }
  }
};
}  // namespace

Data write(const Value& value) {
  Writer writer;
  writer.out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  writer.element(value, 0);
  writer.out += "</plist>\n";
  return dataFromString(writer.out);
}
}  // namespace XMLPropertyListWriter
