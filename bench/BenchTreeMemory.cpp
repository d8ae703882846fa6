#include "BenchTreeMemory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

// "Pss:" of /proc/<pid>/smaps_rollup in kB; 0 when the process has gone.
long processKilobytes(const std::string& pid) {
  std::ifstream in("/proc/" + pid + "/smaps_rollup");
  std::string line;
  while (std::getline(in, line))
    if (line.compare(0, 4, "Pss:") == 0) return std::atol(line.c_str() + 4);
  return 0;
}

}  // namespace

long BenchTreeMemory::treeKilobytes(const std::string& procsFile) {
  std::ifstream procs(procsFile);
  long total = 0;
  for (std::string pid; procs >> pid;) total += processKilobytes(pid);
  return total;
}

BenchTreeMemory::BenchTreeMemory(const BenchCpuGroup& group, double intervalSeconds)
    : procsFile_(group.procsFile()) {
  const auto pause = static_cast<useconds_t>(intervalSeconds * 1e6);
  sampler_ = std::thread([this, pause] {
    while (running_) {
      const long now = treeKilobytes(procsFile_);
      if (now > peakKilobytes_) peakKilobytes_ = now;
      usleep(pause);
    }
  });
}

BenchTreeMemory::~BenchTreeMemory() { stop(); }

double BenchTreeMemory::stop() {
  running_ = false;
  if (sampler_.joinable()) sampler_.join();
  return static_cast<double>(peakKilobytes_) / 1024;
}
