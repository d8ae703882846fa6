#pragma once
// What every benchmark prints for the table that scripts/bench gathers: one line per
// figure set against its peer,
//
//   RATIO <name> <ours> <peer> <unit> <limit> <aim>
//
// where ratio = ours / peer (below 1: ours costs less), limit is the most the figure
// may be (0: none) and aim what it should come to in time (0: none; printed, never
// judged). Timings are processor time, not the wall clock: on a shared,
// loaded machine processor time is what reproduces. A benchmark whose result does not
// check exits with status 1 before printing any figure.
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchTiming.h"

// Processor time of the calling thread, in seconds.
inline double threadSeconds() { return benchThreadCpuMs() / 1e3; }

inline void reportRatio(const std::string& name, double ours, double peer, const char* unit, double limit = 0,
                        double aim = 0) {
  std::printf("RATIO %s %.6g %.6g %s %.3g %.3g\n", name.c_str(), ours, peer, unit, limit, aim);
  std::fflush(stdout);
}

// A figure with no peer (an absolute aim): printed in the table with its limit.
inline void reportFigure(const std::string& name, double value, const char* unit, double limit = 0) {
  std::printf("FIGURE %s %.6g %s %.3g\n", name.c_str(), value, unit, limit);
  std::fflush(stdout);
}

[[noreturn]] inline void benchFailure(const std::string& what) {
  std::fprintf(stderr, "benchmark result wrong: %s\n", what.c_str());
  std::exit(1);
}

inline double medianOf(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The machine's load over the last minute, as /proc/loadavg tells it.
inline double loadAverage() {
  double one = 0;
  if (std::FILE* f = std::fopen("/proc/loadavg", "r")) {
    if (std::fscanf(f, "%lf", &one) != 1) one = 0;
    std::fclose(f);
  }
  return one;
}
