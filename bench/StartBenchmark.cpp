// The start of the built program as a user meets it, to its first screen (the first
// prompt of its terminal, the screen printed), in processor time: the program's and
// whatever it starts meanwhile, as a control group of its own counts them (so a busy
// machine slows it, but does not make it dearer). On device roots of its own: one with
// Debian 12's main index in its database (63,440 packages, made by the refresh's own
// import), one with a database at its ceiling (about a million records: Debian's index
// and sources made of it under other names). Starts alternate between the two, the
// database's file in the system's cache; each figure is the median. Beside them, what
// the program does once the screen is up (its own processor time until it is idle, the
// package tools it starts aside) and its size then.
//
//   bench_start [starts]
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "BenchIndex.h"
#include "BenchProgram.h"
#include "BenchReport.h"
#include "database/KVDatabaseMigrationUtility.h"
#include "database/KVRPackage.h"
#include "store/Store.h"
#include "support/IndexRecords.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"

namespace {

const std::string kProgram = QB_BINARY_DIR "/src/quillbark";
// The records of a database at its ceiling, less a little: the refresh refuses a source
// that would take the database past it.
constexpr size_t kCeiling = 999000;

// Debian's index again under other names: each package's identifier gets `suffix`; at
// most `limit` stanzas.
void writeRenamedIndex(const std::string& from, const std::string& to, const std::string& suffix, size_t limit) {
  std::ifstream in(from);
  std::ofstream out(to);
  std::string line;
  size_t stanzas = 0;
  while (std::getline(in, line)) {
    if (line.rfind("Package: ", 0) == 0) {
      if (++stanzas > limit) break;
      line += suffix;
    }
    out << line << '\n';
  }
  if (!out) benchFailure("the renamed index could not be written");
}

// Applies an index to the database of the device root set, as a refresh of `location`;
// answers the records the database then holds.
size_t applyIndex(const std::string& path, const std::string& location) {
  auto db = store::Database::open(KVDatabaseMigrationUtility::defaultConfiguration());
  if (!db) benchFailure("the device's database does not open: " + db.error()->localizedDescription());
  std::string error;
  if (!applyIndexAsRefresh(**db, path, location, &error)) benchFailure("the index of " + location + ": " + error);
  return (*db)->objects(KVRPackage::className()).count();
}


struct Settled {
  double seconds = 0;  // the program's own processor time from its start until idle
  double mebibytes = 0;
};

// A start left until the program's own threads have done no work for two seconds.
Settled settledAfterStart(const std::string& device) {
  BenchProgram program(kProgram, device, nullptr);
  if (!program.running()) benchFailure("the program did not start on " + device);
  double last = program.ownSeconds(), quietSince = benchNow();
  const double began = benchNow();
  while (benchNow() - quietSince < 2 && benchNow() - began < 120) {
    usleep(100000);
    const double now = program.ownSeconds();
    if (now - last > 0.02) quietSince = benchNow();
    last = now;
  }
  Settled settled{program.ownSeconds(), static_cast<double>(program.statusKilobytes("VmRSS")) / 1024};
  program.quit();
  return settled;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 7;
  const std::string debian = benchIndexPath(1, argv);
  TempDir work;
  const std::string withDebian = benchDeviceRoot(kProgram, work.file("debian"));
  DeviceRoot::setRoot(withDebian);
  const size_t debianRecords = applyIndex(debian, "http://127.0.0.1:9/debian/");

  // The same root, filled up to the ceiling a source of Debian's size at a time (each
  // well within a source's own ceiling).
  const std::string atCeiling = work.file("ceiling");
  if (std::system(("cp -a '" + withDebian + "' '" + atCeiling + "'").c_str()) != 0) benchFailure("cp failed");
  DeviceRoot::setRoot(atCeiling);
  size_t records = debianRecords;
  for (int copy = 1; records < kCeiling; ++copy) {
    const std::string renamed = work.file("Packages-" + std::to_string(copy));
    writeRenamedIndex(debian, renamed, "-copy" + std::to_string(copy), kCeiling - records);
    const size_t now = applyIndex(renamed, "http://127.0.0.1:9/copy" + std::to_string(copy) + "/");
    std::remove(renamed.c_str());
    if (now <= records) benchFailure("the renamed index added no records");
    records = now;
  }

  auto group = BenchCpuGroup::make("qb-bench-start");
  if (!group) benchFailure("no control group can be made here (run as root on a machine with cgroups)");
  benchStartCpuMilliseconds(kProgram, withDebian, *group, 1);  // the files into the system's cache
  benchStartCpuMilliseconds(kProgram, atCeiling, *group, 1);
  std::vector<double> debianStarts, ceilingStarts;
  for (int i = 0; i < runs; ++i) {
    debianStarts.push_back(benchStartCpuMilliseconds(kProgram, withDebian, *group, 1));
    ceilingStarts.push_back(benchStartCpuMilliseconds(kProgram, atCeiling, *group, 1));
  }
  const Settled debianSettled = settledAfterStart(withDebian), ceilingSettled = settledAfterStart(atCeiling);
  std::printf("start to the first screen: %.1f ms of processor time with %zu records, %.1f ms with %zu | load %.2f\n",
              medianOf(debianStarts), debianRecords, medianOf(ceilingStarts), records, loadAverage());
  std::printf("after the start, until idle: %.2f s of the program's processor time and %.1f MiB with %zu records, "
              "%.2f s and %.1f MiB with %zu\n",
              debianSettled.seconds, debianSettled.mebibytes, debianRecords, ceilingSettled.seconds,
              ceilingSettled.mebibytes, records);

  // Of the limits' share: the first screen's text is measured with the faces that draw it
  // (fontconfig reading its configuration, the first face loaded: about 15 ms), and the
  // start-up repair's sandbox, begun in the background by the launch, runs beside it.
  reportFigure("start/first-screen-with-debian-63k", medianOf(debianStarts), "ms", 120);
  reportFigure("start/first-screen-at-the-ceiling-1m", medianOf(ceilingStarts), "ms", 150);
  reportRatio("start/at-the-ceiling-vs-with-debian", medianOf(ceilingStarts), medianOf(debianStarts), "ms", 1.5);
  reportRatio("start/until-idle-at-the-ceiling-vs-with-debian", ceilingSettled.seconds, debianSettled.seconds, "s", 0);
  reportRatio("start/memory-at-the-ceiling-vs-with-debian", ceilingSettled.mebibytes, debianSettled.mebibytes, "MiB", 0);
  return 0;
}
