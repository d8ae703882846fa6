// Opening a package's page on a device holding a large real index (Debian 12 main,
// 63,440 stanzas) through the screen's own code, up to its first drawn state: the
// snapshots, the texts, the other packages of the maintainer, the layout of every
// section, as a row's tap pushes it. What the network brings later is not waited for.
// Each figure is the median of several runs, in milliseconds, for a package of the
// maintainer with the most packages and for one of a maintainer with few.
//
//   bench_package_page [Packages file]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchTiming.h"
#include "BenchIndex.h"
#include "BenchPackages.h"
#include "foundation/RunLoop.h"
#include "package/PackageDetailsViewController.h"
#include "store/Store.h"
#include "support/TestRoot.h"
#include "system/DeviceRoot.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIWindow.h"


int main(int argc, char** argv) {
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-page-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  DeviceRoot::setRoot(folder);
  store::Configuration c = benchDatabaseConfiguration(folder);
  store::Database::setDefaultConfiguration(c);
  auto db = store::Database::defaultDatabase();
  std::map<std::string, std::vector<std::string>> byMaintainer;
  written(db->write([&] {
    KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
      if (!s.find("Package")) return;
      KVRPackage p = benchPackageFor(s, std::nullopt);
      byMaintainer[p.maintainer().value_or("")].push_back(p.identifier());
      db->addOrUpdate(p.toObject());
    });
  }));
  auto largest = std::max_element(byMaintainer.begin(), byMaintainer.end(),
                                  [](const auto& a, const auto& b) { return a.second.size() < b.second.size(); });
  auto small = std::find_if(byMaintainer.begin(), byMaintainer.end(),
                            [](const auto& m) { return m.second.size() == 3 && !m.first.empty(); });
  if (largest == byMaintainer.end() || small == byMaintainer.end()) return 1;

  TestRoot root;
  auto window = std::make_shared<UIWindow>();
  window->makeKeyAndVisible();
  // A row's tap: the page pushed on a list's navigation, drawn once.
  auto open = [&](const std::string& identifier) {
    auto page = std::make_shared<PackageDetailsViewController>(screenContext(), identifier);
    auto navigation = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
    window->setRootViewController(navigation);
    navigation->pushViewController(page, false);
    window->layoutIfNeeded();
    return page;
  };
  auto check = [&](const std::string& identifier, size_t others) {
    auto page = open(identifier);
    if (page->outlets().nameLbl->text().empty() || page->devPackages().size() != others) {
      std::fprintf(stderr, "the page of %s is not what its record holds\n", identifier.c_str());
      std::exit(1);
    }
  };
  std::printf("%zu records; %s has %zu packages\n", KVRPackage::allObjects().count(), largest->first.c_str(),
              largest->second.size());
  check(largest->second.front(), largest->second.size() - 1);
  check(small->second.front(), small->second.size() - 1);

  const int runs = 9;
  std::vector<std::shared_ptr<PackageDetailsViewController>> opened;  // closing is not opening
  for (const auto& which : std::vector<std::pair<const char*, std::string>>{
           {"of the largest maintainer", largest->second.front()}, {"of a maintainer of three", small->second.front()}}) {
    // Named, not bound: clang 14 lets no lambda capture a structured binding.
    const char* label = which.first;
    const std::string& identifier = which.second;
    BenchFigure f = benchMedianOf(runs, [&] { opened.push_back(open(identifier)); });
    std::printf("open the page of a package %-26s %8.1f ms (%.1f ms of processor time)\n", label, f.wall, f.cpu);
    // Of which: the views and the snapshots, before the page appears.
    BenchFigure load = benchMedianOf(runs, [&] {
      auto page = std::make_shared<PackageDetailsViewController>(screenContext(), identifier);
      page->loadViewIfNeeded();
      opened.push_back(page);
    });
    std::printf("  of which its views and snapshots          %8.1f ms (%.1f ms of processor time)\n", load.wall,
                load.cpu);
    window->setRootViewController(nullptr);
    opened.clear();
    RunLoop::main().runUntilIdle();
  }
  window.reset();
  benchRemoveDefaultDatabase(db, c, folder);
  return 0;
}
