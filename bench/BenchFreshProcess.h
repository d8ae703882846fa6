#pragma once
// A measure taken as a user meets it after a start: in a process of its own that has
// done nothing before (nothing worked out, nothing in its caches), the benchmark's own
// program run again with "--fresh" and the arguments the measure needs. The fresh
// process prints its figures on one line, "FRESH <figure>...", and nothing it does
// reaches the benchmark's own process.
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "BenchReport.h"

// Whether this process is a fresh one the benchmark started (its arguments follow
// "--fresh").
inline bool benchIsFreshProcess(int argc, char** argv) { return argc > 1 && std::strcmp(argv[1], "--fresh") == 0; }

// In the fresh process: its figures, for the benchmark that started it.
inline void benchReportFresh(const std::vector<double>& figures) {
  std::printf("FRESH");
  for (double figure : figures) std::printf(" %.6g", figure);
  std::printf("\n");
  std::fflush(stdout);
}

// Runs the benchmark's program again with "--fresh" and `arguments`; answers the
// figures it printed. A fresh process that fails or prints none fails the benchmark.
inline std::vector<double> benchInFreshProcess(const std::vector<std::string>& arguments) {
  int out[2];
  if (pipe(out) != 0) benchFailure("no pipe for a fresh process");
  std::vector<std::string> words{"/proc/self/exe", "--fresh"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  std::string text;
  char buffer[4096];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
  close(out[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  const size_t line = text.rfind("FRESH");
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || line == std::string::npos)
    benchFailure("a fresh process of the benchmark failed:\n" + text);
  std::istringstream fields(text.substr(line + 5));
  std::vector<double> figures;
  for (double figure; fields >> figure;) figures.push_back(figure);
  return figures;
}
