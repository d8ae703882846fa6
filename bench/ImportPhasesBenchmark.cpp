// The refresh's two in-process stages of the Debian index apart, each on its own, best
// of several runs by processor time: reading the decoded index into entries, and
// applying the entries to an empty database in one transaction (the commit included).
// Then the three together as the refresh runs them (the XZ file decoded by the helper
// process into the list file and a channel, read on a thread, applied on this one): the
// processor time of the whole process, the helper included, and of the applying thread.
//
//   bench_import_phases [runs]
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "database/KVIndexEntry.h"
#include "database/KVRSchema.h"
#include "BenchReport.h"
#include "database/KVRSource.h"
#include "support/IndexIdentifiers.h"
#include "database/KVSourceIndexImport.h"
#include "database/KVSourceIndexRun.h"
#include "database/KVStanzaReader.h"
#include "store/Store.h"

namespace {

const std::string kLocation = "http://127.0.0.1:8080/debian/";

KVIndexEntry::Context benchContext() {
  KVIndexEntry::Context context;
  context.setLocation(kLocation);
  context.systemVersion = "14.0";
  return context;
}

KVSourceIndexImport::Settings benchSettings() {
  KVSourceIndexImport::Settings settings;
  settings.location = kLocation;
  settings.dateString = "2026-12-07 18:00";
  return settings;
}

// The database of a run: empty but for the source.
auto openWithSource(const store::Configuration& c) {
  auto db = store::Database::open(c).value();
  written(db->write([&] { db->add(KVRSource::newSourceWithLocation(kLocation).toObject()); }));
  return db;
}

std::vector<KVIndexEntry> readEntries(const std::string& path) {
  const KVIndexEntry::Context context = benchContext();
  std::vector<KVIndexEntry> entries;
  KVStanzaReader reader(path);
  KVStanza stanza;
  while (reader.next(stanza))
    if (auto entry = KVIndexEntry::fromStanza(stanza, context)) entries.push_back(std::move(*entry));
  return entries;
}

// The list file the run writes, as the refresh's sink does.
class FileSink final : public KVSourceListsManaging::Sink {
 public:
  explicit FileSink(const std::string& path) : fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644)) {}
  ~FileSink() override {
    if (fd_ >= 0) ::close(fd_);
  }
  ErrorRef write(const uint8_t* bytes, size_t size) override {
    while (size > 0) {
      ssize_t n = ::write(fd_, bytes, size);
      if (n <= 0) return makeError("bench", 1, "the list file cannot be written");
      bytes += n;
      size -= static_cast<size_t>(n);
    }
    return nullptr;
  }
  ErrorRef sync() override { return ::fsync(fd_) == 0 ? nullptr : makeError("bench", 2, "the list file cannot be synced"); }

 private:
  int fd_;
};

// Processor time of this process and of its children that were waited for, in seconds.
double processTreeSeconds() {
  auto seconds = [](const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  rusage self{}, children{};
  getrusage(RUSAGE_SELF, &self);
  getrusage(RUSAGE_CHILDREN, &children);
  return seconds(self) + seconds(children);
}

}  // namespace

int main(int argc, char** argv) {
  int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  std::string path = benchIndexPath(1, argv);
  std::string error;
  auto identifiers = packageIdentifiersOfIndex(benchTestData(kDebianIndex), &error);
  if (!identifiers) benchFailure(error);
  const size_t expected = identifiers->size();
  double bestRead = 1e9, bestApply = 1e9;
  for (int run = 0; run < runs; ++run) {
    double t = threadSeconds();
    auto entries = readEntries(path);
    bestRead = std::min(bestRead, threadSeconds() - t);

    char folder[] = "/var/tmp/qb-import-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    store::Configuration c = benchDatabaseConfiguration(folder);
    auto db = openWithSource(c);
    KVSourceIndexImport import(benchSettings());
    KVSourceIndexImport::Outcome outcome;
    size_t next = 0;
    t = threadSeconds();
    auto error = import.apply(
        *db, [&]() -> KVIndexEntry* { return next == entries.size() ? nullptr : &entries[next++]; },
        nullptr, outcome);
    double applied = threadSeconds() - t;
    bestApply = std::min(bestApply, applied);
    std::printf("run %d: read %.3f s, apply %.3f s (%s records)%s\n", run + 1, bestRead, applied,
                outcome.totalPackages.c_str(), error ? " FAILED" : "");
    if (error) benchFailure(error->localizedDescription());
    if (outcome.totalPackages != std::to_string(expected)) benchFailure("records: " + outcome.totalPackages);
    db.reset();
    store::Database::deleteFiles(c.path);
    rmdir(folder);
  }
  std::printf("best: read %.3f s, apply %.3f s (processor time of the thread)\n", bestRead, bestApply);

  // The three stages at once, as the refresh runs them.
  const std::string xz = benchTestData(kDebianIndex);
  if (NSDataCompression::decoderHelperPath().empty()) benchFailure("the decoding helper was not built");
  double bestTree = 1e9, bestThread = 1e9;
  for (int run = 0; run < runs; ++run) {
    char folder[] = "/var/tmp/qb-import-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    store::Configuration c = benchDatabaseConfiguration(folder);
    auto db = openWithSource(c);
    const std::string list = std::string(folder) + "/Packages";
    KVSourceIndexRun::Result result;
    double tree = processTreeSeconds(), thread = threadSeconds();
    {
      FileSink sink(list);
      result = KVSourceIndexRun::run(*db, xz, NSDataCompression::Format::XZ, benchContext(), benchSettings(), sink,
                                     uint64_t(1) << 32);
    }
    tree = processTreeSeconds() - tree;
    thread = threadSeconds() - thread;
    bestTree = std::min(bestTree, tree);
    bestThread = std::min(bestThread, thread);
    std::printf("pipeline run %d: process tree %.3f s, applying thread %.3f s\n", run + 1, tree, thread);
    if (!result.applied) benchFailure("the run was not applied");
    if (result.outcome.totalPackages != std::to_string(expected)) benchFailure("records: " + result.outcome.totalPackages);
    db.reset();
    store::Database::deleteFiles(c.path);
    std::remove(list.c_str());
    rmdir(folder);
  }
  std::printf("best pipeline: process tree %.3f s, applying thread %.3f s\n", bestTree, bestThread);
  reportFigure("import/read-debian-index", bestRead, "s", 0);
  reportFigure("import/apply-debian-index", bestApply, "s", 0);
  reportFigure("import/pipeline-process-tree", bestTree, "s", 0);
  reportFigure("import/pipeline-applying-thread", bestThread, "s", 0);
  return 0;
}
