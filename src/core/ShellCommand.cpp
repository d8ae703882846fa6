#include "core/ShellCommand.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace ShellCommand {
std::string quote(const std::string& argument) {
  std::string out = "'";
  for (char c : argument) {
    if (c == '\'') out += "'\\''";
    else out += c;
  }
  out += "'";
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

int runAndWait(const std::string& commandLine) {
  const char* argv[] = {"/bin/bash", "-c", commandLine.c_str(), nullptr};
  pid_t pid;
  if (posix_spawn(&pid, "/bin/bash", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return -1;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
}  // namespace ShellCommand
