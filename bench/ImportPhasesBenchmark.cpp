// The refresh's two in-process stages of the Debian index apart, each on its own, best
// of several runs by processor time: reading the decoded index into entries, and
// applying the entries to an empty database in one transaction (the commit included).
//
//   bench_import_phases [runs]
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
#include "database/KVStanzaReader.h"
#include "store/Store.h"

namespace {

const std::string kLocation = "http://127.0.0.1:8080/debian/";

std::vector<KVIndexEntry> readEntries(const std::string& path) {
  KVIndexEntry::Context context;
  context.setLocation(kLocation);
  context.systemVersion = "14.0";
  std::vector<KVIndexEntry> entries;
  KVStanzaReader reader(path);
  KVStanza stanza;
  while (reader.next(stanza))
    if (auto entry = KVIndexEntry::fromStanza(stanza, context)) entries.push_back(std::move(*entry));
  return entries;
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
    auto db = store::Database::open(c).value();
    written(db->write([&] { db->add(KVRSource::newSourceWithLocation(kLocation).toObject()); }));
    KVSourceIndexImport::Settings settings;
    settings.location = kLocation;
    settings.dateString = "2026-12-07 18:00";
    KVSourceIndexImport import(settings);
    KVSourceIndexImport::Outcome outcome;
    size_t next = 0;
    t = threadSeconds();
    auto error = import.apply(
        *db, [&]() -> std::optional<KVIndexEntry> {
          if (next == entries.size()) return std::nullopt;
          return std::move(entries[next++]);
        },
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
  reportFigure("import/read-debian-index", bestRead, "s", 0);
  reportFigure("import/apply-debian-index", bestApply, "s", 0);
  return 0;
}
