#pragma once
// Timing a piece of work as a benchmark reports it: the median of several runs, by the
// wall clock and by the main thread's processor time (which the other work of a busy
// machine disturbs less), in milliseconds.
#include <time.h>

#include <algorithm>
#include <chrono>
#include <vector>

struct BenchFigure {
  double wall = 0, cpu = 0;
};

inline double benchThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// The monotonic clock, in milliseconds.
inline double benchWallMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

template <class Work>
BenchFigure benchMedianOf(int runs, Work work) {
  using Clock = std::chrono::steady_clock;
  std::vector<double> walls, cpus;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    double cpuStart = benchThreadCpuMs();
    work();
    walls.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    cpus.push_back(benchThreadCpuMs() - cpuStart);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}
