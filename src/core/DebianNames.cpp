#include "core/DebianNames.h"

namespace DebianNames {
namespace {
bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool isPackageName(std::string_view text) {
  if (text.size() < 2 || !isAlnum(text[0])) return false;
  for (char c : text)
    if (!isAlnum(c) && c != '+' && c != '-' && c != '.') return false;
  return true;
}

void makeRecordIdentifier(std::string& identifier) {
  for (char& c : identifier)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
}

bool isVersion(std::string_view text) {
  if (text.empty() || !isDigit(text[0])) return false;
  for (char c : text)
    if (!isAlnum(c) && c != '.' && c != '+' && c != '~' && c != '-' && c != ':') return false;
  return true;
}

bool isArchitecture(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!((c >= 'a' && c <= 'z') || isDigit(c) || c == '-')) return false;
  return true;
}

std::optional<std::string> queueError(std::string_view queue) {
  size_t i = 0;
  while (i < queue.size()) {
    if (queue[i] == ' ') {
      ++i;
      continue;
    }
    size_t end = queue.find(' ', i);
    if (end == std::string_view::npos) end = queue.size();
    std::string_view token = queue.substr(i, end - i);
    i = end;
    std::string_view name = token, version;
    size_t eq = token.find('=');
    if (eq != std::string_view::npos) {
      name = token.substr(0, eq);
      version = token.substr(eq + 1);
      if (!version.empty() && (version.back() == '-' || version.back() == '+')) version.remove_suffix(1);
      if (!isVersion(version)) return "\"" + std::string(token) + "\" holds a version outside Debian's version characters";
    } else if (name.size() > 2 && (name.back() == '-' || name.back() == '+')) {
      name.remove_suffix(1);
    }
    if (!isPackageName(name)) return "\"" + std::string(token) + "\" is not a Debian package name";
  }
  return std::nullopt;
}

std::optional<std::string> archiveFileName(const std::string& package, const std::string& version,
                                           const std::string& architecture) {
  if (!isPackageName(package) || !isVersion(version) || !isArchitecture(architecture)) return std::nullopt;
  std::string quoted;
  for (char c : version) {
    if (c == ':') quoted += "%3a";
    else quoted += c;
  }
  return package + "_" + quoted + "_" + architecture + ".deb";
}
}  // namespace DebianNames
