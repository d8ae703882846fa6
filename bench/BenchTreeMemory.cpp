#include "BenchTreeMemory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

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

long BenchTreeMemory::treeKilobytes(const std::string& procsFile, std::string* shares) {
  std::ifstream procs(procsFile);
  long total = 0;
  std::vector<std::pair<long, std::string>> each;
  for (std::string pid; procs >> pid;) {
    const long size = processKilobytes(pid);
    total += size;
    if (shares && size > 0) {
      std::string name;
      std::getline(std::ifstream("/proc/" + pid + "/comm"), name);
      each.emplace_back(size, name);
    }
  }
  if (shares) {
    std::sort(each.rbegin(), each.rend());
    shares->clear();
    for (const auto& [size, name] : each) {
      char figure[32];
      std::snprintf(figure, sizeof figure, " %.1f", static_cast<double>(size) / 1024);
      *shares += (shares->empty() ? "" : ", ") + name + figure;
    }
  }
  return total;
}

BenchTreeMemory::BenchTreeMemory(const BenchCpuGroup& group, double intervalSeconds)
    : procsFile_(group.procsFile()) {
  const auto pause = static_cast<useconds_t>(intervalSeconds * 1e6);
  sampler_ = std::thread([this, pause] {
    while (running_) {
      std::string shares;
      const long now = treeKilobytes(procsFile_, &shares);
      if (now > peakKilobytes_) {
        peakKilobytes_ = now;
        peakShares_ = std::move(shares);
      }
      usleep(pause);
    }
  });
}

BenchTreeMemory::~BenchTreeMemory() { stop(); }

std::string BenchTreeMemory::peakShares() {
  stop();
  return peakShares_;
}

double BenchTreeMemory::stop() {
  running_ = false;
  if (sampler_.joinable()) sampler_.join();
  return static_cast<double>(peakKilobytes_) / 1024;
}
