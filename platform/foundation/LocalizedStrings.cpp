#include "foundation/LocalizedStrings.h"

#include <cctype>
#include <cstring>
#include <map>
#include <mutex>

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/StringEncoding.h"

namespace LocalizedStrings {
namespace {
std::mutex gMutex;
std::string gLanguage = "en";
std::map<std::string, std::map<std::string, std::string>> gTables;  // table -> key -> text

// Reads up to four hex digits at s[i]; answers how many there were.
int readHex(const std::string& s, size_t& i, unsigned& value) {
  int digits = 0;
  value = 0;
  for (; digits < 4 && i < s.size() && isxdigit(static_cast<unsigned char>(s[i])); ++digits, ++i) {
    char h = static_cast<char>(tolower(static_cast<unsigned char>(s[i])));
    value = value * 16 + static_cast<unsigned>(h <= '9' ? h - '0' : h - 'a' + 10);
  }
  return digits;
}

// Reads a quoted text at s[i] == '"', handling the escapes the .strings format has.
bool readQuoted(const std::string& s, size_t& i, std::string& out) {
  if (i >= s.size() || s[i] != '"') return false;
  ++i;
  out.clear();
  while (i < s.size() && s[i] != '"') {
    char c = s[i++];
    if (c == '\\' && i < s.size()) {
      char e = s[i++];
      switch (e) {
        case 'n': out += '\n'; break;
        case 't': out += '\t'; break;
        case 'r': out += '\r'; break;
        case 'U':
        case 'u': {
          // \Uxxxx: a UTF-16 unit, as the format writes characters outside ASCII;
          // a character beyond them comes as a pair of such escapes.
          unsigned unit = 0, low = 0;
          if (readHex(s, i, unit) == 0) {
            out += e;
            break;
          }
          size_t j = i + 2;
          if (unit >= 0xD800 && unit < 0xDC00 && s.compare(i, 2, "\\U") == 0 && readHex(s, j, low) == 4 &&
              low >= 0xDC00 && low < 0xE000) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i = j;
          }
          if (unit >= 0xD800 && unit < 0xE000) unit = 0xFFFD;  // a lone surrogate
          appendUTF8(out, unit);
          break;
        }
        default: out += e;
      }
    } else {
      out += c;
    }
  }
  if (i >= s.size()) return false;
  ++i;
  return true;
}

void skipSpaceAndComments(const std::string& s, size_t& i) {
  while (i < s.size()) {
    if (isspace(static_cast<unsigned char>(s[i]))) ++i;
    else if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      i = end == std::string::npos ? s.size() : end + 2;
    } else if (s.compare(i, 2, "//") == 0) {
      size_t end = s.find('\n', i);
      i = end == std::string::npos ? s.size() : end + 1;
    } else break;
  }
}

std::map<std::string, std::string> parseStrings(const std::string& s) {
  std::map<std::string, std::string> out;
  size_t i = s.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;  // a byte-order mark
  while (true) {
    skipSpaceAndComments(s, i);
    std::string key, value;
    if (!readQuoted(s, i, key)) break;
    skipSpaceAndComments(s, i);
    if (i < s.size() && s[i] == ';') {  // "key"; stands for "key" = "key";
      ++i;
      out[key] = key;
      continue;
    }
    if (i >= s.size() || s[i] != '=') break;
    ++i;
    skipSpaceAndComments(s, i);
    if (!readQuoted(s, i, value)) break;
    skipSpaceAndComments(s, i);
    if (i < s.size() && s[i] == ';') ++i;
    out[key] = value;
  }
  return out;
}
}  // namespace

void setLanguage(const std::string& code) {
  std::lock_guard<std::mutex> lock(gMutex);
  gLanguage = code.empty() ? "en" : code;
  gTables.clear();
}

std::string language() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gLanguage;
}

std::vector<std::string> availableLanguages() {
  std::vector<std::string> out{"en"};
  for (const auto& name : Files::contentsOfDirectory(Bundle::main().resourcePath())) {
    if (name.size() > 6 && name.ends_with(".lproj")) {
      std::string code = name.substr(0, name.size() - 6);
      if (code != "en" && code != "Base") out.push_back(code);
    }
  }
  return out;
}

std::string lookup(const std::string& key, const std::string& table) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto it = gTables.find(table);
  if (it == gTables.end()) {
    std::string path = Bundle::main().resourcePath() + "/" + gLanguage + ".lproj/" + table + ".strings";
    auto text = Files::readText(path);
    it = gTables.emplace(table, text ? parseStrings(*text) : std::map<std::string, std::string>{}).first;
  }
  auto found = it->second.find(key);
  return found == it->second.end() ? key : found->second;
}

void reload() {
  std::lock_guard<std::mutex> lock(gMutex);
  gTables.clear();
}

std::string fillPlaceholders(std::string_view format, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(format.size());
  auto next = values.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%' || i + 1 >= format.size()) {
      out.push_back(format[i]);
      continue;
    }
    if (format[i + 1] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    // A placeholder: flags, width, precision and length, then its conversion letter.
    size_t j = i + 1;
    while (j < format.size() && std::strchr("-+ #0123456789.lhqzjtL", format[j])) ++j;
    if (j < format.size() && std::strchr("@dDiuUoxXfFeEgGsScCp", format[j])) {
      if (next != values.end()) out.append(*next++);
      i = j;
      continue;
    }
    out.push_back(format[i]);
  }
  return out;
}

}  // namespace LocalizedStrings
