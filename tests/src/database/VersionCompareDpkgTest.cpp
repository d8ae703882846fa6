// Checks the version order against the real `dpkg --compare-versions` on every Version
// of the test repositories and of the Debian index. The versions are sorted by our own
// order and dpkg confirms each neighbouring pair ("lt" or "eq"); since dpkg's order is
// transitive, agreement on all neighbours means agreement on every pair. Random pairs
// are checked directly on top. The dpkg calls run from one shell script in a few
// parallel workers, not one process launch per pair from here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "database/NSStringVersionCompare.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace fs = std::filesystem;
namespace vc = NSStringVersionCompare;

namespace {

void collectVersions(const fs::path& file, std::set<std::string>& out) {
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line))
    if (line.rfind("Version: ", 0) == 0) out.insert(line.substr(9));
}

struct Pair {
  std::string a, op, b;
};

const char* relation(int c) { return c < 0 ? "lt" : c == 0 ? "eq" : "gt"; }

// Runs dpkg on every pair; answers one exit status per pair.
std::vector<int> runDpkg(const fs::path& dir, const std::vector<Pair>& pairs, int workers) {
  for (int w = 0; w < workers; ++w) {
    std::ofstream out(dir / ("pairs." + std::to_string(w)), std::ios::binary);
    for (size_t i = w; i < pairs.size(); i += workers) out << pairs[i].a << '\t' << pairs[i].op << '\t' << pairs[i].b << '\n';
  }
  std::ofstream script(dir / "run.sh");
  script << "cd \"$1\" || exit 9\n"
            "for w in $(seq 0 $(($2 - 1))); do\n"
            "  ( while IFS=\"$(printf '\\t')\" read -r a op b; do\n"
            "      dpkg --compare-versions \"$a\" \"$op\" \"$b\" 2>/dev/null; echo $?\n"
            "    done < pairs.$w > results.$w ) &\n"
            "done\n"
            "wait\n";
  script.close();
  std::string cmd = "sh '" + (dir / "run.sh").string() + "' '" + dir.string() + "' " + std::to_string(workers);
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  std::vector<int> status(pairs.size(), -1);
  for (int w = 0; w < workers; ++w) {
    std::ifstream in(dir / ("results." + std::to_string(w)));
    for (size_t i = w; i < pairs.size(); i += workers) in >> status[i];
  }
  return status;
}

TEST(VersionCompareDpkg, AgreesWithDpkgOnRealVersions) {
  if (std::system("command -v dpkg >/dev/null 2>&1") != 0) GTEST_SKIP() << "dpkg missing";
  QB_TESTDATA_OR_SKIP(repos, "repos");
  TempDir tmp;
  const fs::path data = testdata::root();
  std::set<std::string> versions;
  for (auto& entry : fs::recursive_directory_iterator(data / "repos"))
    if (entry.path().filename() == "Packages") collectVersions(entry.path(), versions);
  size_t repoVersions = versions.size();
  ASSERT_GT(repoVersions, 400u);

  fs::path index = fs::path(tmp.path()) / "Packages";
  std::string xz = "xz -dc '" + (data / "debian/bookworm-main-amd64-Packages.xz").string() + "' > '" + index.string() + "'";
  ASSERT_EQ(std::system(xz.c_str()), 0);
  collectVersions(index, versions);
  ASSERT_GT(versions.size(), repoVersions + 20000);

  std::vector<std::string> sorted(versions.begin(), versions.end());
  std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) { return vc::lessThan(a, b); });

  std::vector<Pair> pairs;
  for (size_t i = 0; i + 1 < sorted.size(); ++i)
    pairs.push_back({sorted[i], relation(vc::compareVersion(sorted[i], sorted[i + 1])), sorted[i + 1]});
  std::mt19937 rng(20240601);
  std::uniform_int_distribution<size_t> pick(0, sorted.size() - 1);
  for (int i = 0; i < 3000; ++i) {
    const std::string& a = sorted[pick(rng)];
    const std::string& b = sorted[pick(rng)];
    pairs.push_back({a, relation(vc::compareVersion(a, b)), b});
  }

  // The pairs met most beside those: a version against itself with a stable update's,
  // a backport's or a release candidate's suffix, and against the next epoch.
  for (int i = 0; i < 400; ++i) {
    const std::string& v = sorted[pick(rng)];
    for (const auto& [a, b] : {std::pair{v, v + "+deb12u1"}, {v + "~bpo11+1", v}, {v + "~rc1", v}})
      pairs.push_back({a, relation(vc::compareVersion(a, b)), b});
    if (v.find(':') == std::string::npos) {
      const std::string a = "1:" + v, b = "2:" + sorted[pick(rng)];
      pairs.push_back({a, relation(vc::compareVersion(a, b)), b});
    }
  }

  std::vector<int> status = runDpkg(fs::path(tmp.path()), pairs, 6);
  size_t disagreements = 0, refused = 0;
  for (size_t i = 0; i < pairs.size(); ++i) {
    if (status[i] == 0) continue;
    if (status[i] == 1) {
      if (++disagreements <= 20) ADD_FAILURE() << "dpkg disagrees: " << pairs[i].a << ' ' << pairs[i].op << ' ' << pairs[i].b;
    } else {
      ++refused;
      ADD_FAILURE() << "dpkg refused (" << status[i] << "): " << pairs[i].a << ' ' << pairs[i].op << ' ' << pairs[i].b;
    }
  }
  EXPECT_EQ(disagreements, 0u);
  EXPECT_EQ(refused, 0u);
  std::printf("checked %zu pairs over %zu distinct versions\n", pairs.size(), sorted.size());
}

// Versions that real indexes hardly hold but dpkg accepts: the order must still agree.
TEST(VersionCompareDpkg, AgreesWithDpkgOnCraftedVersions) {
  if (std::system("command -v dpkg >/dev/null 2>&1") != 0) GTEST_SKIP() << "dpkg missing";
  TempDir tmp;
  std::vector<std::string> v = {"1.0", "1.00", "0:1.0", "1.0-0", "1.0-1", "1:0.1", "9.9", "00:1.0",
                                "1.0~rc1", "1.0~~", "1.0~", "1.0a", "1.0.1", "1.0+", "2.10", "2.9",
                                "010", "10", "1.0-1.2", "1.0-1.10", "1.0~~a", "1.0-0~", "1.0.",
                                "1.0A", "1.0z", "1.2.3-4+deb12u1", "1.2.3-4+b1", "1.2.3-4~bpo11+1",
                                "2:1.0~rc1-1", "1.0\x80", "1.0\xc3\xa9", "1.0-a.b", "1.0-A",
                                // digit runs beyond the first eight bytes, leading zeros,
                                // long texts, "-" inside the upstream version
                                "20150609-1", "20150610", "1.00000001", "1.0000001a", "0.009", "0.9.3",
                                "1.2.3.4.5.6.7.8-1", "1.0-beta-2", "1.0+b1", "5:1.0", "0:1.0a"};
  std::vector<Pair> pairs;
  for (auto& a : v)
    for (auto& b : v) pairs.push_back({a, relation(vc::compareVersion(a, b)), b});
  std::vector<int> status = runDpkg(fs::path(tmp.path()), pairs, 6);
  for (size_t i = 0; i < pairs.size(); ++i)
    EXPECT_EQ(status[i], 0) << pairs[i].a << ' ' << pairs[i].op << ' ' << pairs[i].b;
}

}  // namespace
