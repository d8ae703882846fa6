#include "LauncherEnvironment.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <set>

namespace launcher {
namespace {
bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// Tools of a device that restart, stop or rebuild things on the machine they run on.
const std::set<std::string>& deviceTools() {
  static const std::set<std::string> tools = {"reboot",  "halt",     "poweroff", "shutdown",  "killall",
                                              "sbreload", "uicache", "ldrestart", "launchctl"};
  return tools;
}

// Words that leave the next word in command position.
const std::set<std::string>& commandPrefixes() {
  static const std::set<std::string> words = {"exec", "env",  "command", "nohup", "sudo", "time", "builtin",
                                              "if",   "then", "else",    "elif",  "do",   "while", "until",
                                              "!",    "{"};
  return words;
}

bool isAssignment(const std::string& word) {
  auto eq = word.find('=');
  if (eq == std::string::npos || eq == 0) return false;
  for (size_t i = 0; i < eq; ++i) {
    char c = word[i];
    if (!(isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
  }
  return true;
}

bool fileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0;
}
}  // namespace

std::string deviceRootFor(const std::string& executablePath, const char* variable) {
  for (const char* suffix : {kInstallPath, kRebootInstallPath}) {
    if (endsWith(executablePath, suffix)) {
      std::string root = executablePath.substr(0, executablePath.size() - strlen(suffix));
      return root.empty() ? "/" : withoutTrailingSlashes(root);
    }
  }
  // From outside a root the launcher serves a device root folder only, never the host
  // itself: a variable naming "/" counts as none.
  if (variable && variable[0] == '/') {
    std::string root = withoutTrailingSlashes(variable);
    if (root != "/") return root;
  }
  return {};
}

std::string hostToolNamedIn(const std::string& command, const std::string& root) {
  if (root == "/") return {};
  std::string word;
  bool inWord = false, commandPosition = true;
  char quote = 0;
  std::string found;

  auto endWord = [&]() {
    if (!inWord) return;
    inWord = false;
    if (commandPosition && found.empty()) {
      if (isAssignment(word) || commandPrefixes().count(word)) {
        // still in command position
      } else {
        auto slash = word.rfind('/');
        std::string base = slash == std::string::npos ? word : word.substr(slash + 1);
        bool insideRoot = word.compare(0, root.size() + 1, root + "/") == 0;
        if (deviceTools().count(base) && !insideRoot) found = word;
        commandPosition = false;
      }
    }
    word.clear();
  };

  for (size_t i = 0; i < command.size() && found.empty(); ++i) {
    char c = command[i];
    if (quote == '\'') {
      if (c == '\'') quote = 0;
      else word += c;
      continue;
    }
    if (c == '\\' && i + 1 < command.size()) {
      inWord = true;
      word += command[++i];
      continue;
    }
    // A nested command starts, inside double quotes too.
    if (c == '`' || (c == '$' && i + 1 < command.size() && command[i + 1] == '(')) {
      endWord();
      commandPosition = true;
      if (c == '$') ++i;
      continue;
    }
    // Double quotes only group words; nested commands inside them still count, so
    // they are read as if unquoted.
    if (c == '"') {
      inWord = true;
      continue;
    }
    if (c == '\'') {
      quote = c;
      inWord = true;
      continue;
    }
    if (c == ' ' || c == '\t') {
      endWord();
      continue;
    }
    if (c == ';' || c == '&' || c == '|' || c == '(' || c == ')' || c == '\n') {
      endWord();
      commandPosition = true;
      continue;
    }
    inWord = true;
    word += c;
  }
  endWord();
  return found;
}

bool confineTools(const std::string& root, std::string& error) {
  std::string config = root + kDeviceAPTConfig;
  if (!fileExists(config)) {
    error = "the device root has no APT configuration at " + config;
    return false;
  }
  setenv("APT_CONFIG", config.c_str(), 1);
  setenv("DPKG_ROOT", root.c_str(), 1);
  setenv("DPKG_ADMINDIR", (root + kDpkgAdminDir).c_str(), 1);
  setenv("HOME", (root + kRootHome).c_str(), 1);
  setenv(kDeviceRootVariable, root.c_str(), 1);
  setenv("DEBIAN_FRONTEND", "noninteractive", 1);
  return true;
}
}  // namespace launcher
