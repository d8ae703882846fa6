// The package list of a large real index (Debian 12 main, 63,440 stanzas) through the
// screen's own code: opening the list of every package sectioned by name (the query, the
// sections and the first screen of rows), re-sorting it by each sort key, and the rows
// a scroll asks for (one record lookup per row that comes into view). Each figure is
// the median of several runs, in milliseconds.
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
#include "system/DeviceRoot.h"


int main(int argc, char** argv) {
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-list-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  DeviceRoot::setRoot(folder);  // the preferences are read and written there
  store::Configuration c = benchDatabaseConfiguration(folder);
  store::Database::setDefaultConfiguration(c);
  auto db = store::Database::defaultDatabase();
  size_t stanzas = benchWriteEveryPackage(*db, indexPath, [](const KVRPackage&) {});
  db->settle();  // the columns kept in memory follow the write
  TestRoot root;  // the managers the screens are handed
  PackageCell::registerInterfaceFile();
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value("Name"), "SortInstalledPackagesBy");

  // Opening: the screen loads, rebuilds as it appears, and lays out its first rows.
  auto open = [] {
    auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                              KVPackageListKind::ofCategory(kCategorySpecial_AllPackages));
    list->loadViewIfNeeded();
    list->rebuildCache();
    list->tableView()->layoutIfNeeded();
    return list;
  };
  auto list = open();
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
  if (list->packages().count() != KVRPackage::allObjects().count()) benchFailure("the list does not hold every package");
  size_t listed = 0;
  for (const auto& section : list->sections()) listed += list->sectionsDictionary().at(section).size();
  if (listed != list->packages().count()) benchFailure("the sections do not hold every listed package");
  reportFigure("package-list/open-every-package", opening.cpu, "ms", 50);
  for (auto [label, value] : std::vector<std::pair<const char*, const char*>>{
           {"category", "Category"}, {"maintainer", "Maintainer"}, {"source", "Source"}, {"name", "Name"}}) {
    preferences.setObject(Value(value), "SortInstalledPackagesBy");
    BenchFigure resort = benchMedianOf(runs, [&] {
      list->rebuildCache();
      table->layoutIfNeeded();
    });
    std::printf("re-sort by %-10s                        %8.1f ms (%.1f ms of processor time, %zu sections)\n", label,
                resort.wall, resort.cpu, list->sections().size());
    reportFigure(std::string("package-list/re-sort-by-") + label, resort.cpu, "ms", 60);
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
