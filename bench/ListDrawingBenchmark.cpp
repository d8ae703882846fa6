// Drawing the package list of a large real index (Debian 12 main, 63,440 stanzas) while
// it scrolls, as the window draws it: the list of every package in its navigation
// screen, in the key window at the device's size; each frame moves the list on as a
// drag or the wheel does, lays the window out and draws it whole with the program's
// renderer into an image of the window's pixels. The process is held to one core and
// each frame's cost is the whole process's processor time (all its threads), reported at
// the 95th percentile and the median. After each frame the rows on screen are checked:
// one after another from the row at the top edge down, each showing the name of the
// package the sorted list has at its place.
//
//   bench_list_drawing [Packages file]
//
// QB_BENCH_KEEP_FRAME=FILE keeps the last frame drawn as a PNG picture, to see what was
// measured.
#include <cairo.h>
#include <sched.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "BenchPackages.h"
#include "BenchReport.h"
#include "browse/PackagesTableViewController.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/RunLoop.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVPackageListKind.h"
#include "interface/PackageCell.h"
#include "render/ViewRenderer.h"
#include "store/Store.h"
#include "support/TestRoot.h"
#include "system/DeviceRoot.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIWindow.h"

namespace {
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double share) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, size_t(share * double(values.size())))];
}

// The process, and every thread it starts from here on, on the first core it may use.
void holdToOneCore() {
  cpu_set_t allowed;
  CPU_ZERO(&allowed);
  if (sched_getaffinity(0, sizeof allowed, &allowed) != 0) return;
  for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
    if (CPU_ISSET(cpu, &allowed)) {
      cpu_set_t one;
      CPU_ZERO(&one);
      CPU_SET(cpu, &one);
      if (sched_setaffinity(0, sizeof one, &one) != 0) benchFailure("the process cannot be held to one core");
      return;
    }
}
}  // namespace

int main(int argc, char** argv) {
  holdToOneCore();
  std::string indexPath = benchIndexPath(argc, argv);
  char folder[] = "/tmp/bench-list-drawing-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  DeviceRoot::setRoot(folder);
  store::Configuration c = benchDatabaseConfiguration(folder);
  store::Database::setDefaultConfiguration(c);
  auto db = store::Database::defaultDatabase();
  std::map<std::string, std::string> names;
  benchWriteEveryPackage(*db, indexPath, [&](const KVRPackage& p) { names[p.identifier()] = p.name().value_or(""); });
  db->settle();
  TestRoot root;
  PackageCell::registerInterfaceFile();
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value("Name"), "SortInstalledPackagesBy");

  auto list = std::make_shared<PackagesTableViewController>(screenContext(),
                                                            KVPackageListKind::ofCategory(kCategorySpecial_AllPackages));
  auto window = std::make_shared<UIWindow>();
  window->setRootViewController(std::make_shared<UINavigationController>(list));
  window->makeKeyAndVisible();
  RunLoop::main().runUntilIdle();
  UIWindow::layoutAllWindows();
  UITableView* table = list->tableView();
  if (list->packages().count() != KVRPackage::allObjects().count() || list->packages().count() < 60000)
    benchFailure("the list does not hold every package of the index");

  // The window's pixels at one pixel a point, as a desktop shows it.
  CGSize size = window->frame().size;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(size.width), int(size.height));
  auto draw = [&] {
    UIWindow::layoutAllWindows();
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    ViewRenderer::draw(cr, *window);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  };

  // The rows on screen follow one another from the one at the top edge, each showing its
  // package's name.
  const auto& sections = list->sections();
  const auto& bySection = list->sectionsDictionary();
  size_t rowsChecked = 0;
  auto check = [&] {
    auto paths = table->indexPathsForVisibleRows();
    if (paths.empty()) benchFailure("no row is on screen");
    // The first is the first row reaching below the top edge: the one before it (in its
    // section or the last of the section before) ends above it.
    double top = table->contentOffset().y;
    NSIndexPath first = paths.front();
    if (table->rectForRowAtIndexPath(first).maxY() <= top) benchFailure("the first row on screen is above it");
    if (first.row > 0 || first.section > 0) {
      NSIndexPath before = first.row > 0 ? first.withRow(first.row - 1)
                                         : NSIndexPath::indexPathForRow(
                                               long(bySection.at(sections.at(size_t(first.section - 1))).size()) - 1,
                                               first.section - 1);
      if (table->rectForRowAtIndexPath(before).maxY() > top + 0.5)
        benchFailure("a row above the first on screen reaches below the top edge: " + before.description());
    }
    for (size_t i = 0; i < paths.size(); ++i) {
      const NSIndexPath& path = paths[i];
      if (i > 0) {
        const NSIndexPath& before = paths[i - 1];
        bool next = (path.section == before.section && path.row == before.row + 1) ||
                    (path.section == before.section + 1 && path.row == 0);
        if (!next) benchFailure("the rows on screen do not follow one another at " + path.description());
      }
      const std::string& identifier = bySection.at(sections.at(size_t(path.section))).at(size_t(path.row));
      auto* cell = dynamic_cast<PackageCell*>(table->cellForRowAtIndexPath(path).get());
      if (!cell || cell->packageIdentifier() != identifier || !cell->nameLbl() ||
          cell->nameLbl()->text() != names.at(identifier))
        benchFailure("the row at " + path.description() + " does not show " + identifier);
      ++rowsChecked;
    }
  };

  draw();
  check();
  // Three stretches of the list, from its top, its middle and its end, each scrolled on
  // by a fast drag's step a frame.
  const double step = 120;
  const int framesPerStretch = 200;
  const double most = table->contentSize().height - table->bounds().height();
  std::vector<double> cpu, wall;
  for (double start : {0.0, most / 2, most - step * framesPerStretch}) {
    for (int i = 0; i < framesPerStretch; ++i) {
      auto wallStart = std::chrono::steady_clock::now();
      double cpuStart = processCpuMs();
      table->setContentOffset(CGPoint{0, start + step * double(i)});
      draw();
      cpu.push_back(processCpuMs() - cpuStart);
      wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count());
      check();
    }
  }
  if (const char* keep = std::getenv("QB_BENCH_KEEP_FRAME")) cairo_surface_write_to_png(surface, keep);
  cairo_surface_destroy(surface);

  std::printf("%zu packages listed in %zu sections, %.0f points tall; %zu frames of %.0f x %.0f pixels, %zu rows "
              "checked\n",
              list->packages().count(), sections.size(), table->contentSize().height, cpu.size(), size.width,
              size.height, rowsChecked);
  std::printf("frame, processor time of the process on one core: median %.2f ms, 95th percentile %.2f ms, most %.2f "
              "ms (wall: median %.2f ms)\n",
              percentile(cpu, 0.5), percentile(cpu, 0.95), percentile(cpu, 1.0), percentile(wall, 0.5));
  reportFigure("list-drawing/frame-95th-percentile", percentile(cpu, 0.95), "ms", 16);
  reportFigure("list-drawing/frame-median", percentile(cpu, 0.5), "ms");

  window->setRootViewController(nullptr);
  window.reset();
  list.reset();
  benchRemoveDefaultDatabase(db, c, folder);
  return 0;
}
