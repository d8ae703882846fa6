#pragma once
// A measure taken as a user meets it after a start: in a process of its own that has
// done nothing before (nothing worked out, nothing in its caches), the benchmark's own
// program run again with "--fresh" and the arguments the measure needs. The fresh
// process prints its figures on one line, "FRESH <figure>...", and nothing it does
// reaches the benchmark's own process.
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "system/Process.h"

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
  std::vector<std::string> words{"--fresh"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::fflush(stdout);
  const Process::Outcome fresh = Process::run("/proc/self/exe", words);
  const size_t line = fresh.output.rfind("FRESH");
  if (fresh.status != 0 || line == std::string::npos)
    benchFailure("a fresh process of the benchmark failed:\n" + fresh.output);
  std::istringstream fields(fresh.output.substr(line + 5));
  std::vector<double> figures;
  for (double figure; fields >> figure;) figures.push_back(figure);
  return figures;
}
