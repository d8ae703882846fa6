#pragma once
// The memory a whole process tree holds: the proportional set size (each page shared by
// n processes counted 1/n to each) of every process in a control group, summed, sampled
// on a thread of its own until stopped. A tree's helpers (a decoder, APT's tools) run
// beside its main process, so the main process's own peak is not what the machine pays.
#include <atomic>
#include <string>
#include <thread>

#include "BenchProgram.h"

class BenchTreeMemory {
 public:
  // Starts sampling the group every `intervalSeconds`.
  explicit BenchTreeMemory(const BenchCpuGroup& group, double intervalSeconds = 0.01);
  ~BenchTreeMemory();
  BenchTreeMemory(const BenchTreeMemory&) = delete;
  BenchTreeMemory& operator=(const BenchTreeMemory&) = delete;

  // Stops sampling; gives the largest sum seen, in MiB.
  double stop();

  // What each process held at the peak ("name size, ..."), largest first.
  std::string peakShares();

  // The proportional set size of the processes listed in a cgroup.procs file, in kB;
  // each process's name and share go to `shares` when given.
  static long treeKilobytes(const std::string& procsFile, std::string* shares = nullptr);

 private:
  std::string procsFile_;
  std::atomic<bool> running_{true};
  std::atomic<long> peakKilobytes_{0};
  std::string peakShares_;  // written by the sampler only, read after it stopped
  std::thread sampler_;
};
