// NSStringVersionCompare::compareVersion against libapt-pkg's own comparison
// (debVS.DoCmpVersion) on the same pairs, class by class, by processor time (best of N
// interleaved runs), checking that both order every pair alike. The pairs come from
// every Version of the Debian index:
//   random   two versions drawn at random, and each sorted version with its neighbour;
//   equal    a version and a copy of it (a package offered again unchanged);
//   suffix   a version and the same with a stable update's or backport's suffix
//            ("+deb12u1", "~bpo11+1"), or a revision behind it;
//   epoch    both with an epoch, equal or not;
//   tilde    the index's versions that hold a "~", and each with "~rc1" beside itself.
//
//   bench_versions [decoded Packages file] [runs]
#include <apt-pkg/debversion.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchIndex.h"
#include "BenchReport.h"
#include "database/NSStringVersionCompare.h"

namespace {

using Pair = std::pair<std::string, std::string>;

int sign(int v) { return (v > 0) - (v < 0); }

template <typename F>
double timeRun(const std::vector<Pair>& pairs, F compare, long* checksum) {
  double start = threadSeconds();
  long sum = 0;
  for (const Pair& p : pairs) sum += sign(compare(p.first, p.second));
  *checksum = sum;
  return threadSeconds() - start;
}

int ours(const std::string& a, const std::string& b) { return NSStringVersionCompare::compareVersion(a, b); }
int apt(const std::string& a, const std::string& b) {
  return debVS.DoCmpVersion(a.data(), a.data() + a.size(), b.data(), b.data() + b.size());
}

// Every class holds at least this many pairs, repeated, so that each run is long enough
// to time.
constexpr size_t kPairsPerClass = 400000;

void fill(std::vector<Pair>& pairs) {
  for (size_t i = 0, n = pairs.size(); pairs.size() < kPairsPerClass; ++i) pairs.push_back(pairs[i % n]);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = benchIndexPath(argc, argv);
  int runs = argc > 2 ? std::atoi(argv[2]) : 9;

  std::vector<std::string> versions;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Version: ", 0) == 0) versions.push_back(line.substr(9));
  if (versions.size() < 60000) benchFailure("the index has too few versions");
  std::vector<std::string> sorted = versions;
  std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) { return ours(a, b) < 0; });

  std::mt19937 rng(7);
  std::uniform_int_distribution<size_t> pick(0, versions.size() - 1);
  std::vector<std::pair<std::string, std::vector<Pair>>> classes(5);
  auto& [randomName, random] = classes[0];
  randomName = "random";
  for (size_t i = 0; i + 1 < sorted.size(); ++i) random.emplace_back(sorted[i], sorted[i + 1]);
  while (random.size() < 2 * kPairsPerClass) random.emplace_back(versions[pick(rng)], versions[pick(rng)]);
  auto& [equalName, equal] = classes[1];
  equalName = "equal";
  for (const auto& v : versions) equal.emplace_back(v, std::string(v.data(), v.size()));
  auto& [suffixName, suffix] = classes[2];
  suffixName = "suffix";
  for (const auto& v : versions) {
    suffix.emplace_back(v, v + "+deb12u1");
    suffix.emplace_back(v + "~bpo11+1", v);
    if (v.find('-') == std::string::npos) suffix.emplace_back(v, v + "-1");
  }
  auto& [epochName, epoch] = classes[3];
  epochName = "epoch";
  for (const auto& v : versions) {
    if (v.find(':') != std::string::npos) {
      epoch.emplace_back(v, versions[pick(rng)]);
      epoch.emplace_back(v, v.substr(0, v.find(':') + 1) + versions[pick(rng)]);
    } else {
      epoch.emplace_back("1:" + v, "1:" + versions[pick(rng)]);
      epoch.emplace_back("2:" + v, "1:" + v);
    }
  }
  auto& [tildeName, tilde] = classes[4];
  tildeName = "tilde";
  for (const auto& v : versions) {
    if (v.find('~') != std::string::npos) tilde.emplace_back(v, versions[pick(rng)]);
    tilde.emplace_back(v + "~rc1", v);
  }

  bool allAgree = true;
  for (auto& [name, pairs] : classes) {
    fill(pairs);
    size_t disagreements = 0;
    for (const Pair& p : pairs)
      if (sign(ours(p.first, p.second)) != sign(apt(p.first, p.second))) {
        if (++disagreements <= 5)
          std::fprintf(stderr, "%s: \"%s\" against \"%s\": ours %d, APT %d\n", name.c_str(), p.first.c_str(),
                       p.second.c_str(), ours(p.first, p.second), apt(p.first, p.second));
      }
    if (disagreements) {
      std::fprintf(stderr, "%s: %zu pairs ordered unlike APT\n", name.c_str(), disagreements);
      allAgree = false;
    }
  }
  if (!allAgree) benchFailure("our order differs from APT's");

  std::printf("%zu versions of the index; load average %.2f\n", versions.size(), loadAverage());
  for (const auto& [name, pairs] : classes) {
    double bestOurs = 1e9, bestApt = 1e9;
    long sumOurs = 0, sumApt = 0;
    for (int i = 0; i < runs; ++i) {
      bestOurs = std::min(bestOurs, timeRun(pairs, ours, &sumOurs));
      bestApt = std::min(bestApt, timeRun(pairs, apt, &sumApt));
    }
    if (sumOurs != sumApt) benchFailure(name + ": the sums of the answers differ");
    double n = static_cast<double>(pairs.size());
    std::printf("%-7s %zu pairs: ours %.1f ns, APT %.1f ns per comparison\n", name.c_str(), pairs.size(),
                bestOurs / n * 1e9, bestApt / n * 1e9);
    reportRatio("versions/" + name, bestOurs / n * 1e9, bestApt / n * 1e9, "ns", 1.0);
  }
  return 0;
}
