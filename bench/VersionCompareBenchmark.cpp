// Times NSStringVersionCompare::compareVersion against libapt-pkg's own comparison
// (debVS.DoCmpVersion) on the same pairs, best of N interleaved runs, and checks that
// both order every pair alike. The pairs: every Version of the Debian index, sorted and
// compared with its neighbour, plus random pairs.
//
//   bench_versions [decoded Packages file] [runs]
#include <apt-pkg/debversion.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchIndex.h"
#include "database/NSStringVersionCompare.h"

namespace {

using Clock = std::chrono::steady_clock;
using Pair = std::pair<std::string, std::string>;

int sign(int v) { return (v > 0) - (v < 0); }

template <typename F>
double timeRun(const std::vector<Pair>& pairs, F compare, long* checksum) {
  auto start = Clock::now();
  long sum = 0;
  for (const Pair& p : pairs) sum += sign(compare(p.first, p.second));
  double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  *checksum = sum;
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = benchIndexPath(argc, argv);
  int runs = argc > 2 ? std::atoi(argv[2]) : 7;

  std::vector<std::string> versions;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Version: ", 0) == 0) versions.push_back(line.substr(9));
  std::vector<std::string> sorted = versions;
  std::sort(sorted.begin(), sorted.end(),
            [](const std::string& a, const std::string& b) { return NSStringVersionCompare::lessThan(a, b); });

  std::vector<Pair> pairs;
  for (size_t i = 0; i + 1 < sorted.size(); ++i) pairs.emplace_back(sorted[i], sorted[i + 1]);
  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, versions.size() - 1);
  while (pairs.size() < 1000000) pairs.emplace_back(versions[pick(rng)], versions[pick(rng)]);

  auto ours = [](const std::string& a, const std::string& b) { return NSStringVersionCompare::compareVersion(a, b); };
  auto apt = [](const std::string& a, const std::string& b) {
    return debVS.DoCmpVersion(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
  };

  size_t disagreements = 0;
  for (const Pair& p : pairs)
    if (sign(ours(p.first, p.second)) != sign(apt(p.first, p.second))) ++disagreements;

  double bestOurs = 1e9, bestApt = 1e9;
  long sumOurs = 0, sumApt = 0;
  for (int i = 0; i < runs; ++i) {
    bestOurs = std::min(bestOurs, timeRun(pairs, ours, &sumOurs));
    bestApt = std::min(bestApt, timeRun(pairs, apt, &sumApt));
  }
  double n = static_cast<double>(pairs.size());
  std::printf("pairs: %zu (%zu versions), disagreements with APT: %zu\n", pairs.size(), versions.size(), disagreements);
  std::printf("compareVersion:        best of %d %.1f ms, %.1f M comparisons/s\n", runs, bestOurs * 1e3, n / bestOurs / 1e6);
  std::printf("debVS.DoCmpVersion:    best of %d %.1f ms, %.1f M comparisons/s\n", runs, bestApt * 1e3, n / bestApt / 1e6);
  std::printf("ratio (APT time / ours): %.2f\n", bestApt / bestOurs);
  return disagreements == 0 && sumOurs == sumApt ? 0 : 1;
}
