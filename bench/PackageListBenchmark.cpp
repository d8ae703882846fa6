// The package list of a large real index (Debian 12 main, 63,440 stanzas) through the
// screen's own code: opening the list of every package sectioned by name (the query, the
// sections and the first screen of rows), re-sorting it by each sort key, and the rows
// a scroll asks for (one record lookup per row that comes into view). Each figure is
// the median of several runs, in milliseconds.
//
// First, the list as a user meets it after a start: opened once in a fresh process that
// has just opened the database and waited for it to settle (the columns it keeps in
// memory are read in the background as it opens, long before a person has reached the
// list).
//
//   bench_package_list [Packages file]
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchFreshProcess.h"
#include "BenchIndex.h"
#include "BenchPackages.h"
#include "BenchReport.h"
#include "BenchTiming.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVPackageListKind.h"
#include "support/TestRoot.h"
#include "browse/PackagesTableViewController.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSchema.h"
#include "interface/PackageCell.h"
#include "store/Store.h"
#include "store/TextFolding.h"
#include "system/DeviceRoot.h"

namespace {

// Opening: the screen loads, rebuilds as it appears, and lays out its first rows.
std::shared_ptr<PackagesTableViewController> open() {
  auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                            KVPackageListKind::ofCategory(kCategorySpecial_AllPackages));
  list->loadViewIfNeeded();
  list->rebuildCache();
  list->tableView()->layoutIfNeeded();
  return list;
}

// The device root's database as the program opens it at its start, settled, with the
// managers the screens are handed and the list sorted by name.
std::shared_ptr<store::Database> openDevice(const std::string& folder) {
  DeviceRoot::setRoot(folder);  // the preferences are read and written there
  store::Database::setDefaultConfiguration(benchDatabaseConfiguration(folder));
  auto db = store::Database::defaultDatabase();
  if (!db) benchFailure("the database does not open");
  db->settle();  // the columns kept in memory follow the opening or the write
  PackageCell::registerInterfaceFile();
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value("Name"), "SortInstalledPackagesBy");
  return db;
}

// In a fresh process: the list opened once; prints its processor and wall time (ms) and
// the packages and sections it lists.
int firstOpen(const std::string& folder) {
  auto db = openDevice(folder);
  TestRoot root;
  const double wall = benchWallMs(), cpu = benchThreadCpuMs();
  auto list = open();
  benchReportFresh({benchThreadCpuMs() - cpu, benchWallMs() - wall, double(list->packages().count()),
                    double(list->sections().size())});
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (benchIsFreshProcess(argc, argv)) return argc == 3 ? firstOpen(argv[2]) : 2;
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-list-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  store::Configuration c = benchDatabaseConfiguration(folder);
  size_t stanzas = 0;
  {
    DeviceRoot::setRoot(folder);
    auto db = store::Database::open(c);
    if (!db) benchFailure("the database does not open");
    stanzas = benchWriteEveryPackage(**db, indexPath, [](const KVRPackage&) {});
  }

  // The first opening after a start, in fresh processes.
  std::vector<double> firstCpu, firstWall;
  size_t firstListed = 0, firstSections = 0;
  for (int i = 0; i < 5; ++i) {
    std::vector<double> fresh = benchInFreshProcess({folder});
    if (fresh.size() != 4) benchFailure("the fresh process measured nothing");
    firstCpu.push_back(fresh[0]);
    firstWall.push_back(fresh[1]);
    firstListed = static_cast<size_t>(fresh[2]);
    firstSections = static_cast<size_t>(fresh[3]);
  }

  auto db = openDevice(folder);
  TestRoot root;  // the managers the screens are handed
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  auto list = open();
  if (firstListed != list->packages().count() || firstSections != list->sections().size())
    benchFailure("the list opened first after a start does not hold what it holds later");
  UITableView* table = list->tableView();
  std::printf("%zu stanzas, %zu records, %zu listed in %zu sections, %zu rows on the first screen\n", stanzas,
              KVRPackage::allObjects().count(), list->packages().count(), list->sections().size(),
              table->visibleCells().size());

  const int runs = 7;
  // The lists opened are closed after the measurement: closing is not opening.
  std::vector<std::shared_ptr<PackagesTableViewController>> opened;
  BenchFigure opening = benchMedianOf(runs, [&] { opened.push_back(open()); });
  opened.clear();
  std::printf("open the list of every package, by name:   %8.1f ms (%.1f ms of processor time)\n", opening.wall,
              opening.cpu);
  std::printf("  first after a start:                     %8.1f ms (%.1f ms of processor time, worst %.1f) | load %.2f\n",
              medianOf(firstWall), medianOf(firstCpu), *std::max_element(firstCpu.begin(), firstCpu.end()), loadAverage());
  if (list->packages().count() != KVRPackage::allObjects().count()) benchFailure("the list does not hold every package");
  size_t listed = 0;
  for (const auto& section : list->sections()) listed += list->sectionsDictionary().at(section).size();
  if (listed != list->packages().count()) benchFailure("the sections do not hold every listed package");
  reportFigure("package-list/open-every-package", opening.cpu, "ms", 50);
  reportFigure("package-list/open-first-after-a-start", medianOf(firstCpu), "ms", 30);
  for (auto [label, value] : std::vector<std::pair<const char*, const char*>>{
           {"category", "Category"}, {"maintainer", "Maintainer"}, {"source", "Source"}, {"name", "Name"}}) {
    preferences.setObject(Value(value), "SortInstalledPackagesBy");
    BenchFigure resort = benchMedianOf(runs, [&] {
      list->rebuildCache();
      table->layoutIfNeeded();
    });
    std::printf("re-sort by %-10s                        %8.1f ms (%.1f ms of processor time, %zu sections)\n", label,
                resort.wall, resort.cpu, list->sections().size());
    // Every package with a key listed once, the sections in the key's order.
    const std::vector<std::string>& keys = list->sections();
    size_t inSections = 0;
    for (const auto& key : keys) inSections += list->sectionsDictionary().at(key).size();
    const bool byName = std::string(label) == "name";
    if (byName ? inSections != list->packages().count() : inSections > list->packages().count() || keys.empty())
      benchFailure(std::string("the sections by ") + label + " do not hold the listed packages");
    for (size_t i = 1; !byName && i < keys.size(); ++i)
      if (store::text::collate(keys[i - 1], keys[i]) >= 0) benchFailure(std::string("the sections by ") + label + " are out of order");
    reportFigure(std::string("package-list/re-sort-by-") + label, resort.cpu, "ms", 20);
  }
  // A drag through the list, one screen at a time: the rows coming into view are made
  // from one record lookup each, with the icons already cached; the real icons are asked
  // for when it ends.
  const size_t screens = 200;
  const double screenHeight = table->bounds().height();
  BenchFigure scroll = benchMedianOf(3, [&] {
    list->scrollViewWillBeginDragging(*table);
    for (size_t i = 1; i <= screens; ++i) table->setContentOffset(CGPoint{0, double(i) * screenHeight});
    list->scrollViewDidEndDragging(*table, true);
    list->scrollViewDidEndDecelerating(*table);
    table->setContentOffset(CGPoint{0, 0});
  });
  std::printf("scroll %zu screens of %zu rows:              %8.1f ms, %.3f ms per screen\n", screens,
              table->visibleCells().size(), scroll.wall, scroll.wall / double(screens));
  store::Database::setDefaultConfiguration({});
  db.reset();
  store::Database::deleteFiles(c.path);
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  return 0;
}
