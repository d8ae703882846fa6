// What one commit's change observation costs the main thread, with the package
// records of a large real index (Debian 12 main, 63,440 stanzas) and the live results
// that the package screens keep: the changes tab's newest and updates lists and the
// all-packages list sorted by name. A worker commits a change to one package per
// round (its update mark and date, as a refresh does); the main thread's busy time is
// summed over the turns that run until every observer has been told of the round.
//
//   bench_store_observe [Packages file]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "BenchPackages.h"
#include "BenchReport.h"
#include "database/KVRSchema.h"
#include "foundation/RunLoop.h"
#include "store/Store.h"
#include "store/TypedResults.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-observe-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  store::Configuration c = benchDatabaseConfiguration(folder);
  auto db = store::Database::open(c).value();

  std::vector<std::string> ids;
  written(db->write([&] {
    KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
      if (!s.find("Package")) return;
      KVRPackage p = benchPackageFor(s, std::nullopt);
      // A few refreshes' worth of dates, and an update mark on one package in 200.
      p.setUpdatedDateStr(std::string(ids.size() % 3 ? "2026-12-07 07:00" : "2026-12-06 07:00"));
      p.setIsUpdated(ids.size() % 200 == 0);
      ids.push_back(p.identifier());
      db->addOrUpdate(p.toObject());
    });
  }));

  store::Results all = db->objects(KVRPackage::className());
  std::vector<store::Results> observed = {
      all.sorted({{"updatedDateStr", false}, {"name", true}}),
      db->objects(KVRPackage::className(), "isUpdated = 1 AND isHeld = 0").sorted("name"),
      all.sorted("name"),
  };
  std::vector<int> told(observed.size(), 0);
  std::vector<std::vector<int64_t>> handed(observed.size());
  std::vector<store::NotificationToken> tokens;
  for (size_t i = 0; i < observed.size(); ++i) {
    tokens.push_back(observed[i].observe(
        [&told, &handed, i](const store::Results& results, const store::CollectionChange*, const ErrorRef&) {
          ++told[i];
          handed[i] = results.objectIds();
        }));
  }
  auto everyoneTold = [&](int times) {
    return std::all_of(told.begin(), told.end(), [&](int n) { return n >= times; });
  };
  RunLoop::main().runUntil([&] { return everyoneTold(1); }, 120);

  constexpr int kRounds = 30;
  std::vector<double> mainBusy, latency;
  for (int round = 0; round < kRounds; ++round) {
    const std::string& id = ids[static_cast<size_t>(round) * 997 % ids.size()];
    auto committed = Clock::now();
    std::thread worker([&] {
      written(db->write([&] {
        auto object = db->objectForPrimaryKey(KVRPackage::className(), Value(id));
        db->setValue(*object, "isUpdated", Value(!object->getBool("isUpdated").value_or(false)));
        db->setValue(*object, "updatedDateStr", Value("2026-12-08 07:00"));
      }));
    });
    worker.join();
    committed = Clock::now();
    double busy = 0;
    while (!everyoneTold(round + 2)) {
      auto t = Clock::now();
      if (RunLoop::main().runOnce()) busy += msSince(t);
      else std::this_thread::yield();
    }
    mainBusy.push_back(busy);
    latency.push_back(msSince(committed));
  }

  std::printf("package stanzas                   %zu\n", ids.size());
  std::printf("observed results                  %zu\n", observed.size());
  std::printf("main thread per commit (median)   %.2f ms\n", median(mainBusy));
  std::printf("main thread per commit (max)      %.2f ms\n", *std::max_element(mainBusy.begin(), mainBusy.end()));
  std::printf("commit to last notice (median)    %.2f ms\n", median(latency));
  // What the observers were handed last is what a query gives now.
  for (size_t i = 0; i < observed.size(); ++i)
    if (handed[i] != observed[i].reloaded().objectIds()) benchFailure("an observer holds other rows than a query gives");
  // An index may list a package twice (Debian's lists four so); the store keeps one record.
  std::vector<std::string> distinct = ids;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  if (handed[2].size() != distinct.size()) benchFailure("the list of every package lost packages");
  reportFigure("store/main-thread-per-commit", median(mainBusy), "ms", 0);
  reportFigure("store/commit-to-last-notice", median(latency), "ms", 0);
  tokens.clear();
  db.reset();
  store::Database::deleteFiles(c.path);
  rmdir(folder);
  return 0;
}
