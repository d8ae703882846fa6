// The whole refresh of Debian 12's main index (63,440 stanzas, 8.7 MB as XZ) served on
// 127.0.0.1 (download, decoding, APT's list file, the package records) against
// `apt-get update` of the same repository through the launcher in the same device root.
// The launcher's sandbox has no network, so APT reads the repository's files through a
// file: address where the server serves them from, inside the device root.
// Each side runs in a process of its own per round, so each one's peak memory (maximum
// resident set) is its own; the rounds alternate which side goes first. The refresh's
// result is checked: one record per distinct identifier of the index. Beside the wall
// clock, each side's processor time (user and system, its helper processes included)
// is shown: on a busy machine it says more about the work done than the wall clock.
//
// Two smaller figures follow: one package with 1,600 versions, and a refresh of an index
// that has not changed since it was applied.
//
//   bench_refresh [rounds]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "account/KVVendorService.h"
#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSources.h"
#include "database/TweakCompatibilityManager.h"
#include "foundation/Dispatch.h"
#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include "support/DeviceRootFixture.h"
#include "support/IndexIdentifiers.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }
double mebibytes(long kilobytes) { return static_cast<double>(kilobytes) / 1024.0; }
double cpuSeconds(int who) {
  struct rusage usage {};
  getrusage(who, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

struct Outcome {
  double seconds = 0;
  double peakMiB = 0;
  double cpuSeconds = 0;  // user and system time, the side's helper processes included
  size_t records = 0;
};

// ---- The children

// Refreshes `location` in the device root `root` with the application's own code and
// prints the time, its peak memory and the number of package records.
int refreshChild(const std::string& root, const std::string& location) {
  DeviceRoot::setRoot(root);
  // Nothing leaves the machine: the directory and the compatibility list go nowhere.
  KVVendorService::setServiceBaseURL("http://127.0.0.1:9");
  TweakCompatibilityManager::setServiceBaseURL("http://127.0.0.1:9");
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "setupDone");
  store::Database::setDefaultConfiguration(KVDatabaseMigrationUtility::defaultConfiguration());
  TestRoot application(TestRoot::WithSourcesManager{});
  auto db = store::Database::defaultDatabase();
  if (!db) return 1;
  if (!db->objectForPrimaryKey(KVRSource::className(), location))
    written(db->write([&] { db->add(KVRSource::newSourceWithLocation(location).toObject()); }));
  auto& pipeline = KVPipelineManager::sharedManager();
  double cpuBefore = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN);
  auto start = Clock::now();
  application.sourcesManager->refreshSource(location);
  RunLoop::main().runUntil(
      [&] { return pipeline.tasksArray().empty() && pipeline.pipelineOperationQueue().operationCount() == 0; }, 600);
  double seconds = since(start);
  double cpu = cpuSeconds(RUSAGE_SELF) + cpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
  // This process's own high-water mark: its rusage figure would start from the
  // spawning parent's, which the launch inherits. The decoder runs as a child; its
  // figure (which may start from this process's at its launch) counts as well, as
  // apt-get's methods count on APT's side.
  long peak = 0;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %ld kB", &peak) == 1) break;
    std::fclose(f);
  }
  struct rusage children {};
  getrusage(RUSAGE_CHILDREN, &children);
  peak = std::max(peak, children.ru_maxrss);
  size_t records = KVRPackage::allObjects().count();
  auto source = KVRSource::objectForPrimaryKey(location);
  if (!source || source->hasErrors().value_or(false)) {
    std::fprintf(stderr, "the refresh failed: %s\n", source ? source->Description().value_or("").c_str() : "no source");
    return 1;
  }
  std::printf("RESULT %f %ld %zu %f\n", seconds, peak, records, cpu);
  return 0;
}

// `apt-get update` of the same repository (the folder `repository`) through the
// launcher, with lists and caches of its own in the same device root.
int aptChild(const std::string& root, const std::string& repository) {
  DeviceRoot::setRoot(root);
  std::string own = root + "/var/tmp/apt-update";
  Files::removeItem(own);
  Files::createDirectories(own + "/lists/partial");
  if (!Files::writeAtomically(own + "/sources.list", "deb [trusted=yes] file:" + repository + " ./\n")) return 1;
  // The launcher's sandbox stands between this process and APT's: GNU time reports
  // apt-get's own peak (its methods included, as its children).
  std::string inner = "/usr/bin/time -f 'QBPEAK %M %U %S' apt-get update --config-file " + KVAPTManager::configurationArgument() +
                      " -o Dir::Etc::SourceList=" + own + "/sources.list -o Dir::State::lists=" + own +
                      "/lists -o Dir::Cache::pkgcache=" + own + "/pkgcache.bin -o Dir::Cache::srcpkgcache=" + own +
                      "/srcpkgcache.bin";
  auto start = Clock::now();
  auto run = Process::run(root + DeviceRoot::kLauncherPath, {inner});
  double seconds = since(start);
  // apt-get update answers 0 with warnings when it fetched nothing: the result must be there.
  bool listed = false;
  for (const auto& name : Files::contentsOfDirectory(own + "/lists"))
    listed = listed || name.find("_Packages") != std::string::npos;
  if (run.status != 0 || !listed || !Files::exists(own + "/pkgcache.bin")) {
    std::fprintf(stderr, "apt-get update failed:\n%s\n", run.output.c_str());
    return 1;
  }
  long peak = 0;
  double user = 0, system = 0;
  size_t mark = run.output.rfind("QBPEAK ");
  if (mark != std::string::npos) std::sscanf(run.output.c_str() + mark, "QBPEAK %ld %lf %lf", &peak, &user, &system);
  std::printf("RESULT %f %ld 0 %f\n", seconds, peak, user + system);
  return 0;
}

// ---- The parent

Outcome runChild(const std::string& self, const std::vector<std::string>& arguments) {
  auto run = Process::run(self, arguments);
  if (std::getenv("QB_BENCH_VERBOSE")) std::fputs(run.output.c_str(), stdout);
  Outcome outcome;
  long kilobytes = 0;
  // The children's log lines come first; their result is the line marked RESULT.
  size_t result = run.output.rfind("RESULT ");
  if (run.status != 0 || result == std::string::npos ||
      std::sscanf(run.output.c_str() + result, "RESULT %lf %ld %zu %lf", &outcome.seconds, &kilobytes, &outcome.records,
                  &outcome.cpuSeconds) != 4) {
    std::fprintf(stderr, "%s %s failed (%d):\n%s\n", self.c_str(), arguments.front().c_str(), run.status, run.output.c_str());
    std::exit(1);
  }
  outcome.peakMiB = mebibytes(kilobytes);
  return outcome;
}

// Forgets what the last round left: the database, the refresh's files, APT's lists.
void clearDevice(const std::string& root) {
  std::string support = root + DeviceRoot::kApplicationSupport;
  store::Database::deleteFiles(support + "/default.realm");
  Files::removeItem(support + "/SourcesFiles");
  for (const auto& name : Files::contentsOfDirectory(support + "/APT/lists"))
    if (name != "partial") Files::removeItem(support + "/APT/lists/" + name);
  Files::removeItem(root + "/var/tmp/apt-update");
}

size_t distinctIdentifiers(const std::string& xz) {
  std::string error;
  auto identifiers = packageIdentifiersOfIndex(xz, &error);
  return identifiers ? identifiers->size() : 0;
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

void serveIndex(const std::string& folder, const std::string& packages) {
  Files::createDirectories(folder);
  Files::writeAtomically(folder + "/Packages", packages);
  std::string command = "xz -kf '" + folder + "/Packages'";
  if (std::system(command.c_str()) != 0) std::exit(1);
  Files::removeItem(folder + "/Packages");
  Files::writeAtomically(folder + "/Release", std::string("Origin: Bench\nLabel: Bench\nDescription: Bench\n"));
}

}  // namespace

int main(int argc, char** argv) {
  std::string self = "/proc/self/exe";
  char resolved[4096];
  ssize_t n = readlink(self.c_str(), resolved, sizeof resolved - 1);
  if (n > 0) self.assign(resolved, static_cast<size_t>(n));
  if (argc >= 4 && std::string(argv[1]) == "--refresh") return refreshChild(argv[2], argv[3]);
  if (argc >= 4 && std::string(argv[1]) == "--apt") return aptChild(argv[2], argv[3]);
  int rounds = argc > 1 ? std::atoi(argv[1]) : 5;

  std::string xz = benchTestData(kDebianIndex);
  TemporaryDeviceRoot device;
  const std::string root = device.path();
  // Inside the device root, where the launcher's sandbox sees it too.
  const std::string served = root + "/var/tmp/bench-repository";
  Files::createDirectories(served + "/debian");
  Files::copyItem(xz, served + "/debian/Packages.xz");
  Files::writeAtomically(served + "/debian/Release",
                         std::string("Origin: Debian\nLabel: Debian\nSuite: stable\nCodename: bookworm\n"
                                     "Description: Debian 12 main\n"));
  TestHttpServer server(served);
  const std::string location = server.url("/debian/");
  const size_t expected = distinctIdentifiers(xz);

  std::vector<double> ours, apt, ratios, cpuRatios, oursPeak, aptPeak;
  for (int round = 0; round < rounds; ++round) {
    Outcome o, a;
    auto runOurs = [&] {
      clearDevice(root);
      o = runChild(self, {"--refresh", root, location});
    };
    auto runAPT = [&] {
      clearDevice(root);
      a = runChild(self, {"--apt", root, served + "/debian"});
    };
    if (round % 2 == 0) {
      runOurs();
      runAPT();
    } else {
      runAPT();
      runOurs();
    }
    if (o.records != expected) {
      std::fprintf(stderr, "round %d: %zu records, expected %zu\n", round + 1, o.records, expected);
      return 1;
    }
    std::printf("round %d: refresh %.3f s (cpu %.3f s, %.1f MiB)   apt-get update %.3f s (cpu %.3f s, %.1f MiB)   "
                "ratio %.2f (cpu %.2f)\n",
                round + 1, o.seconds, o.cpuSeconds, o.peakMiB, a.seconds, a.cpuSeconds, a.peakMiB, o.seconds / a.seconds,
                o.cpuSeconds / a.cpuSeconds);
    cpuRatios.push_back(o.cpuSeconds / a.cpuSeconds);
    ours.push_back(o.seconds);
    apt.push_back(a.seconds);
    ratios.push_back(o.seconds / a.seconds);
    oursPeak.push_back(o.peakMiB);
    aptPeak.push_back(a.peakMiB);
  }
  std::printf("records %zu (distinct identifiers of the index)\n", expected);
  std::printf("median: refresh %.3f s, apt-get update %.3f s, ratio %.2f (best %.2f, worst %.2f)\n", median(ours),
              median(apt), median(ratios), *std::min_element(ratios.begin(), ratios.end()),
              *std::max_element(ratios.begin(), ratios.end()));
  std::printf("median cpu ratio %.2f (user and system time, helpers included)\n", median(cpuRatios));
  std::printf("peak memory: refresh %.1f MiB (max %.1f), apt-get update %.1f MiB (max %.1f)\n", median(oursPeak),
              *std::max_element(oursPeak.begin(), oursPeak.end()), median(aptPeak),
              *std::max_element(aptPeak.begin(), aptPeak.end()));

  // One package with 1,600 versions, then the same index again unchanged.
  std::string many;
  for (int i = 1; i <= 1600; ++i)
    many += "Package: com.example.many\nVersion: 1." + std::to_string(i) + "\nArchitecture: iphoneos-arm\n"
            "Filename: debs/many_1." + std::to_string(i) + ".deb\nDescription: one of many versions\n\n";
  serveIndex(served + "/many", many);
  clearDevice(root);
  Outcome versions = runChild(self, {"--refresh", root, server.url("/many/")});
  std::printf("one package with 1,600 versions: %.3f s\n", versions.seconds);
  clearDevice(root);
  Outcome first = runChild(self, {"--refresh", root, location});
  Outcome unchanged = runChild(self, {"--refresh", root, location});
  std::printf("the Debian index again, unchanged: %.3f s (first %.3f s)\n", unchanged.seconds, first.seconds);
  return 0;
}
