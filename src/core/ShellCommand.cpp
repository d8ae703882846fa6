#include "core/ShellCommand.h"

#include "system/Process.h"

namespace ShellCommand {
namespace {
bool isPlain(unsigned char c) {
  if (c >= 0x80) return true;
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  switch (c) {
    case '_': case '@': case '%': case '+': case '=': case ':': case ',': case '.': case '/': case '-':
      return true;
    default:
      return false;
  }
}

bool isSpecialInDoubleQuotes(char c) { return c == '$' || c == '`' || c == '"' || c == '\\' || c == '\n'; }
}  // namespace

std::string quote(const std::string& argument) {
  std::string out = "'";
  for (char c : argument) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  out += "'";
  return out;
}

std::string word(std::string_view text) {
  if (text.empty()) return "''";
  std::string out;
  out.reserve(text.size() + 8);
  for (char c : text) {
    if (c == '\n') out += "'\n'";
    else {
      if (!isPlain(static_cast<unsigned char>(c))) out += '\\';
      out += c;
    }
  }
  return out;
}

std::string insideDoubleQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 8);
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\\') {
      // bash removes a backslash only before $ ` " \ or a line feed; before the
      // closing quote it would swallow the quote.
      bool next = i + 1 == text.size() || isSpecialInDoubleQuotes(text[i + 1]);
      out += next ? "\\\\" : "\\";
    } else if (c == '$' || c == '`' || c == '"') {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  return out;
}

std::vector<std::string> splitWords(const std::string& text) {
  std::vector<std::string> words;
  std::string cur;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n') {
      if (!cur.empty()) words.push_back(std::move(cur));
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) words.push_back(std::move(cur));
  return words;
}

int runAndWait(const std::string& commandLine) { return Process::spawnAndWait("/bin/bash", {"-c", commandLine}); }
}  // namespace ShellCommand
