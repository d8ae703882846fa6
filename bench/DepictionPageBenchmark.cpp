// Opening the page of a package with the largest native depiction of the test data, as
// a user does: UTM's 216 KB depiction (a 205 KB changelog in 31 Markdown blocks, the
// description, seven screenshots, a banner) served on 127.0.0.1 with real pictures, from
// the row's tap until the page shows all of it: the banner over the page, the newest
// changelog entry under the version, the description and the seven screenshots, written
// to their cache and to the record. Each open is a first one (no banner or screenshot
// cached). Set beside it: the same page whose record names no depiction (what the page
// costs without one), and the depiction with its changelog twice over (near-linear when
// that costs about the extra changelog's share more). Medians of several runs, in
// milliseconds, by the wall clock and by processor time (the main thread's and all
// threads'); the table's figures are all threads' processor time.
//
//   bench_depiction_page
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchDatabase.h"
#include "BenchIndex.h"
#include "BenchPackages.h"
#include "BenchReport.h"
#include "BenchTiming.h"
#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "package/PackageDetailsViewController.h"
#include "store/Store.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"
#include "system/DeviceRoot.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITextView.h"
#include "uikit/UIWindow.h"

namespace {

const char* const kIdentifier = "com.utmapp.utm";
// How the depiction's description begins (the record's own is one short line).
const char* const kDescription = "UTM is a full featured virtual machine host";

// The processor time of every thread of the process, the local server's included (it
// only sends bytes it holds).
double processCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "%s\n", why.c_str());
  std::exit(1);
}

std::string replacedAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

// The depiction with the views of its changelog tab repeated `times` times.
std::string withChangelogTimes(const std::string& json, int times) {
  auto depiction = Value::fromJSON(json);
  if (!depiction || !depiction->contains("tabs")) fail("UTM's depiction did not read");
  Value::Array tabs = *(*depiction)["tabs"].arrayPtr();
  for (Value& tab : tabs) {
    if (tab["tabname"].asString() != "Changelog") continue;
    Value::Array views = *tab["views"].arrayPtr(), repeated;
    for (int i = 0; i < times; ++i) repeated.insert(repeated.end(), views.begin(), views.end());
    tab.set("views", Value(std::move(repeated)));
  }
  depiction->set("tabs", Value(std::move(tabs)));
  return depiction->toJSON();
}

}  // namespace

int main() {
  const std::string utm = benchTestData("repos/utm");
  const std::string depiction = Files::readText(utm + "/depiction/native/com.utmapp.UTM.json").value_or("");
  const auto picture = Files::read(utm + "/CydiaIcon.png");
  if (depiction.empty() || !picture) fail("UTM's depiction or picture is missing");

  char folder[] = "/tmp/bench-depiction-page-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  DeviceRoot::setRoot(folder);
  store::Configuration c = benchDatabaseConfiguration(folder);
  store::Database::setDefaultConfiguration(c);
  auto db = store::Database::defaultDatabase();

  // The repository's addresses moved to the server; its pictures where they are named.
  TestHttpServer server(TestHttpConnections::KeepAlive);
  const std::string here = server.url("/utm/");
  const std::string served = replacedAll(depiction, "https://cydia.getutm.app/", here);
  // Sent as it is: a type the server would not compress on the fly, so its processor
  // time stays out of the process's figure.
  for (int times : {1, 2}) {
    TestHttpResponse json;
    json.body = withChangelogTimes(served, times);
    json.contentType = "application/octet-stream";
    server.respond(times == 1 ? "/utm/once.json" : "/utm/twice.json", json);
  }
  TestHttpResponse png;
  png.body.assign(picture->begin(), picture->end());
  png.contentType = "image/png";
  server.respond("/utm/assets/com.utmapp.UTM/*", png);

  std::optional<KVRPackage> record;
  KVParsingUtility::enumeratePackagesOfFileAtPath(utm + "/Packages", [&](KVStanza& s) {
    if (!record && s.value("Package") == "com.utmapp.UTM") record = benchPackageFor(s, std::nullopt);
  });
  if (!record) fail("UTM's stanza is missing");
  // The device's own folder, as the first run leaves it.
  const std::string supportFolder = DeviceRoot::devicePath(DeviceRoot::kApplicationSupport);
  std::filesystem::create_directories(supportFolder);
  // A first open: the record names this depiction and no screenshots, nothing is cached.
  auto reset = [&](std::optional<std::string> address) {
    written(db->write([&] {
      record->setSileoDepiction(address);
      db->addOrUpdate(record->toObject());
    }));
    std::error_code ec;
    for (const char* cache : {"/DepictionsBanners", "/ScreenshotsCache"})
      std::filesystem::remove_all(supportFolder + cache, ec);
  };

  TestRoot root;
  auto window = std::make_shared<UIWindow>();
  window->makeKeyAndVisible();
  std::vector<std::shared_ptr<PackageDetailsViewController>> opened;  // closing is not opening
  // A row's tap, then the page until it shows what its record and depiction hold.
  auto open = [&](bool withDepiction) {
    auto page = std::make_shared<PackageDetailsViewController>(screenContext(), kIdentifier);
    auto navigation = std::make_shared<UINavigationController>(std::make_shared<UIViewController>());
    window->setRootViewController(navigation);
    navigation->pushViewController(page, false);
    window->layoutIfNeeded();
    opened.push_back(page);
    if (!withDepiction) return page;
    const auto& o = page->outlets();
    bool shown = RunLoop::main().runUntil(
        [&] {
          bool described = o.descriptionLbl->attributedText().string().rfind(kDescription, 0) == 0;
          if (!page->cydiaPackageHaveChangelog || !described || page->screenshotsDictionary().size() < 7 ||
              !UIScrollViewInteractiveHeader::interactiveHeader(*o.scrollView))
            return false;
          auto stored = KVRPackage::objectForPrimaryKey(kIdentifier);
          return stored && stored->screenshotsLocalPaths().size() == 7;
        },
        60);
    if (!shown) fail("the page did not show UTM's whole depiction");
    return page;
  };

  const int runs = 7;
  // Answers the median processor time of all the process's threads, in milliseconds.
  auto measure = [&](const char* label, std::optional<std::string> address) {
    std::vector<BenchFigure> figures;
    std::vector<double> processCpu;
    size_t changelog = 0;
    for (int i = 0; i < runs; ++i) {
      reset(address);
      RunLoop::main().runUntilIdle();
      std::shared_ptr<PackageDetailsViewController> page;
      double before = processCpuMs();
      figures.push_back(benchMedianOf(1, [&] { page = open(address.has_value()); }));
      processCpu.push_back(processCpuMs() - before);
      if (address) {
        const std::string& text = page->outlets().changelogContentLbl->attributedText().string();
        const std::string& description = page->outlets().descriptionLbl->attributedText().string();
        if (text.find("Version 4.6.3\n") > 1 || description.rfind(kDescription, 0) != 0)
          fail("the page's texts are not UTM's");
        changelog = text.size();
      }
      window->setRootViewController(nullptr);
      opened.clear();
      RunLoop::main().runUntilIdle();
    }
    auto median = [](std::vector<double> values) {
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    std::vector<double> walls, mains;
    for (const auto& f : figures) walls.push_back(f.wall), mains.push_back(f.cpu);
    std::printf("%-43s %7.1f ms (processor: %.1f ms main thread, %.1f ms all threads)", label, median(walls),
                median(mains), median(processCpu));
    if (changelog) std::printf("; changelog shown: %zu characters", changelog);
    std::printf("\n");
    return median(processCpu);
  };
  const double bare = measure("open UTM's page without a depiction", std::nullopt);
  const double once = measure("open UTM's page with its depiction", server.url("/utm/once.json"));
  const double twice = measure("open UTM's page, its changelog twice over", server.url("/utm/twice.json"));
  reportFigure("depiction-page/open-with-utms-depiction", once, "ms", 1000);
  reportRatio("depiction-page/with-vs-without-its-depiction", once, bare, "ms", 0);
  // The changelog is most of the depiction: twice over costs at most about twice as much.
  reportRatio("depiction-page/changelog-twice-vs-once", twice, once, "ms", 2.2);

  window.reset();
  benchRemoveDefaultDatabase(db, c, folder);
  return 0;
}
