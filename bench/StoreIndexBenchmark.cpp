// Applies a large real Packages index (Debian 12 main, 63,440 stanzas) as package
// records in one write transaction, the way a source refresh does: per stanza a
// primary-key lookup, the record's fields, one version entry, add-or-update. Timed
// against reading the same stanzas without the database, in the same run. A second
// pass applies the index again (every record exists, nothing changes), then the
// typical queries run.
//
//   bench_store_index [file.xz]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "core/NSDataCompression.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVRSchema.h"
#include "store/Store.h"
#include "store/TypedResults.h"
#include "BenchPackages.h"

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

const std::string& kSource = kBenchSource;

}  // namespace

int main(int argc, char** argv) {
  std::string xz = argc > 1 ? argv[1] : benchTestData(kDebianIndex);
  std::ifstream in(xz, std::ios::binary | std::ios::ate);
  Data packed(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
  std::string error;
  Data index = NSDataCompression::XZunzippedData(packed, &error);
  char folder[] = "/tmp/bench-store-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  std::string indexPath = std::string(folder) + "/Packages";
  std::ofstream(indexPath, std::ios::binary).write(reinterpret_cast<const char*>(index.data()),
                                                    static_cast<std::streamsize>(index.size()));

  // Peer: reading the stanzas and building the records, no database.
  auto t0 = Clock::now();
  size_t stanzas = 0;
  KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
    if (s.find("Package")) {
      benchPackageFor(s, std::nullopt);
      ++stanzas;
    }
  });
  double parseOnly = since(t0);

  store::Configuration c = benchDatabaseConfiguration(folder);
  auto db = store::Database::open(c).value();
  auto apply = [&] {
    auto t = Clock::now();
    written(db->write([&] {
      KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
        if (!s.find("Package")) return;
        std::string id = s.value("Package");
        for (auto& ch : id) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        db->addOrUpdate(benchPackageFor(s, store::objectForPrimaryKey<KVRPackage>(*db, id)).toObject());
      });
    }));
    return since(t);
  };
  double first = apply();
  double second = apply();

  auto tq = Clock::now();
  size_t inSource = store::objectsWhere<KVRPackage>(*db, "sourceLocation = %@ AND isInstalled = 0", kSource).count();
  double staleQuery = since(tq);
  tq = Clock::now();
  size_t found = store::objectsWhere<KVRPackage>(*db, "name contains[cd] %@ AND NOT name BEGINSWITH[cd] 'cy+'", "python")
                     .sorted("name")
                     .count();
  double searchQuery = since(tq);
  tq = Clock::now();
  auto categories = store::allObjects<KVRPackage>(*db).distinct({"category"}).sorted("category").valuesForKey("category");
  double categoryQuery = since(tq);
  tq = Clock::now();
  size_t sortedAll = store::allObjects<KVRPackage>(*db).sorted("name").count();
  double sortAll = since(tq);
  uint64_t size = db->fileSizes().totalBytes;
  db.reset();
  tq = Clock::now();
  store::Database::open(c).value().reset();
  double reopen = since(tq);

  std::printf("stanzas                         %zu\n", stanzas);
  std::printf("read + build records (peer)     %.2f s\n", parseOnly);
  std::printf("apply in one transaction        %.2f s (%.1f x the peer)\n", first, first / parseOnly);
  std::printf("apply again, nothing changes    %.2f s\n", second);
  std::printf("source's packages (%zu)       %.3f s\n", inSource, staleQuery);
  std::printf("search 'python' sorted (%zu)   %.3f s\n", found, searchQuery);
  std::printf("distinct categories (%zu)        %.3f s\n", categories.size(), categoryQuery);
  std::printf("all sorted by name (%zu)      %.3f s\n", sortedAll, sortAll);
  std::printf("reopen with integrity check     %.3f s\n", reopen);
  std::printf("file size                       %.1f MB\n", static_cast<double>(size) / 1e6);
  store::Database::deleteFiles(c.path);
  std::remove(indexPath.c_str());
  rmdir(folder);
  return 0;
}
