// The package list of a large real index (Debian 12 main, 63,440 stanzas) through the
// screen's own code: opening the list of every package sectioned by name (the query, the
// sections and the table's reload), re-sorting it by each sort key, and the rows a
// scroll asks for (one record lookup per row that comes into view). Each figure is the
// median of several runs, in milliseconds.
//
//   bench_package_list [Packages file]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchIndex.h"
#include "BenchPackages.h"
#include "browse/KVCategorySpecial.h"
#include "browse/PackagesTableViewController.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSchema.h"
#include "interface/PackageCell.h"
#include "store/Store.h"
#include "system/DeviceRoot.h"

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

template <class Work>
double medianOf(int runs, Work work) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    auto start = Clock::now();
    work();
    times.push_back(msSince(start));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-list-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  DeviceRoot::setRoot(folder);  // the preferences are read and written there
  store::Configuration c;
  c.path = std::string(folder) + "/default.realm";
  c.schemaVersion = KVRSchema::kSchemaVersion;
  c.schema = KVRSchema::schema();
  store::Database::setDefaultConfiguration(c);
  auto db = store::Database::defaultDatabase();
  size_t count = 0;
  db->write([&] {
    KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
      if (!s.find("Package")) return;
      db->addOrUpdate(benchPackageFor(s, std::nullopt).toObject());
      ++count;
    });
  });
  PackageCell::registerInterfaceFile();
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value("Name"), "SortInstalledPackagesBy");

  auto list = std::make_shared<PackagesTableViewController>();
  list->setCategory(kCategorySpecial_AllPackages);
  list->loadViewIfNeeded();
  list->rebuildCache();
  std::printf("%zu records, %zu listed in %zu sections\n", count, list->packages().count(), list->sections().size());

  const int runs = 7;
  double open = medianOf(runs, [&] {
    auto fresh = std::make_shared<PackagesTableViewController>();
    fresh->setCategory(kCategorySpecial_AllPackages);
    fresh->loadViewIfNeeded();
    fresh->rebuildCache();
  });
  std::printf("open the list of every package, by name:   %8.1f ms\n", open);
  for (auto [label, value] : std::vector<std::pair<const char*, const char*>>{
           {"category", "Category"}, {"maintainer", "Maintainer"}, {"source", "Source"}, {"name", "Name"}}) {
    preferences.setObject(Value(value), "SortInstalledPackagesBy");
    double resort = medianOf(runs, [&] { list->rebuildCache(); });
    std::printf("re-sort by %-10s                        %8.1f ms (%zu sections)\n", label, resort,
                list->sections().size());
  }
  // A scroll through the list, one screen at a time: the rows coming into view are made
  // from one record lookup each.
  UITableView* table = list->tableView();
  size_t screens = 200;
  double scroll = medianOf(3, [&] {
    for (size_t i = 0; i < screens; ++i) table->setContentOffset(CGPoint{0, double(i) * 700});
    table->setContentOffset(CGPoint{0, 0});
  });
  std::printf("scroll %zu screens (about 10 new rows each): %8.1f ms, %.3f ms per screen\n", screens, scroll,
              scroll / double(screens));
  store::Database::setDefaultConfiguration({});
  db.reset();
  store::Database::deleteFiles(c.path);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
