// The import of other package managers' sources: lists placed in the device root name
// repositories served on 127.0.0.1; the first run ends with exactly the new ones added,
// once, every one of them refreshed and the whole walk closed; from the settings only the
// import screen closes; choosing lists that hold nothing says so.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "sources/ManageViewController.h"
#include "sources/RepoImportProgressViewController.h"
#include "sources/RepoTransferViewController.h"
#include "support/SourceRefreshFixture.h"
#include "support/TempDir.h"
#include "support/UIDriver.h"
#include "system/DeviceRoot.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIProgressView.h"

namespace {

class SourceImportTest : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    completions = NotificationCenter::defaultCenter().addObserver(KVRSourceImportDidCompleteNotification,
                                                                  [this](const Notification&) { ++announced; });
  }
  static void place(const std::string& devicePath, const std::string& text) {
    std::string path = DeviceRoot::devicePath(devicePath);
    ASSERT_TRUE(Files::createDirectories(Files::deletingLastPathComponent(path)));
    ASSERT_TRUE(Files::writeAtomically(path, text));
  }
  // A screen standing for the first tab, which presents `first`, which presents the import.
  std::shared_ptr<RepoTransferViewController> openOver(bool fromSettings) {
    presenter = std::make_shared<UIViewController>();
    ui.show(presenter);
    step = std::make_shared<UIViewController>();
    presenter->presentViewController(step, false);
    auto import = std::make_shared<RepoTransferViewController>(screenContext(), fromSettings);
    step->presentViewController(import, false);
    ui.runUntilIdle();
    return import;
  }
  // The pipeline's refreshes started by the screen, to their end.
  void refreshesRun() {
    DispatchQueue::drainGlobalQueues();
    ui.advance(1);
    DispatchQueue::drainGlobalQueues();
    ASSERT_TRUE(waitForPipeline());
  }
  std::vector<std::string> locations() {
    std::vector<std::string> out;
    for (const auto& s : KVRSource::allObjects().all()) out.push_back(s.location());
    std::sort(out.begin(), out.end());
    return out;
  }
  bool releaseRequested(const std::string& folder) { return server.requestCount("/" + folder + "/Release") > 0; }

  UIDriver ui;
  std::shared_ptr<UIViewController> presenter, step;
  int announced = 0;
  NotificationToken completions;
};

TEST_F(SourceImportTest, TheFirstRunAddsExactlyTheNewLocationsOnceRefreshesThemAndClosesTheWalk) {
  preferences().removeObjectForKey("setupDone");
  std::string a = serveIndex("a", stanza("com.a", "1.0")), b = serveIndex("b", stanza("com.b", "1.0"));
  std::string c = serveIndex("c", stanza("com.c", "1.0")), d = serveIndex("d", stanza("com.d", "1.0"));
  std::string e = serveIndex("e", stanza("com.e", "1.0")), known = serveIndex("known", stanza("com.k", "1.0"));
  std::string twin = serveIndex("twin", stanza("com.t", "1.0"));
  std::string secureTwin = "https://" + twin.substr(7);
  addSourceRecord(known);
  place("/etc/apt/sources.list.d/cydia.list",
        "deb " + a + " ./\n"
        "deb [trusted=yes arch=iphoneos-arm] " + b + " ./\n"
        "deb\t" + c + "\t./\n"
        "deb  " + d.substr(0, d.size() - 1) + "   ./\n"  // two blanks, and no final "/"
        "# deb http://127.0.0.1:1/commented/ ./\n"
        "deb " + known + " ./\n");
  place("/etc/apt/cydiasources.d/cydia.list", "deb " + twin + " ./\n");
  // Listed again by another manager, its scheme in capitals: still the one source.
  place(RepoTransferViewController::zebraSourceLists()[0], "deb " + secureTwin + " ./\ndeb HTTP" + a.substr(4) + " ./\n");
  place("/etc/apt/sources.list.d/sileo.sources",
        "Types: deb\nURIs: " + e + "\nSuites: ./\nComponents:\n\nTypes: deb\nURIs: not-a-location\nSuites: ./\n");

  auto import = openOver(false);
  EXPECT_TRUE(import->isModalInPresentation());
  for (const char* manager : {"Cydia", "Zebra", "Sileo"}) ASSERT_TRUE(ui.tap(manager)) << ui.screen();
  EXPECT_TRUE(ui.screenShows("[Sileo] (selected)"));
  EXPECT_EQ(import->cydiaCheckbox()->image(), UIImage::imageNamed("repo-checked"));
  ASSERT_TRUE(ui.tap("Continue"));
  import->repoTransferContinueButton();  // a second tap as the screen goes does nothing

  EXPECT_TRUE(preferences().boolForKey("setupDone")) << "the first run is done";
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(presenter->presentedViewController(), nullptr) << "the whole walk is closed: " << ui.screen();
  ASSERT_NO_FATAL_FAILURE(refreshesRun());
  std::vector<std::string> expected = {a, b, c, d, e, known, secureTwin};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(locations(), expected) << "each new repository once; of the twin, the https one";
  for (const char* folder : {"a", "b", "c", "d", "e", "known"}) EXPECT_TRUE(releaseRequested(folder)) << folder;
  EXPECT_EQ(source(a)->totalPackages(), "1") << "an imported source is refreshed";
}

TEST_F(SourceImportTest, ListsThatHoldNothingSaySoAndContinueWithNothingChosenLeavesAtOnce) {
  preferences().removeObjectForKey("setupDone");
  place("/etc/apt/sources.list.d/sileo.sources", "Types: deb\nSuites: ./\n");
  auto import = openOver(false);
  ASSERT_TRUE(ui.tap("Cydia"));
  ASSERT_TRUE(ui.tap("Sileo"));
  ASSERT_TRUE(ui.tap("Continue"));
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr) << ui.screen();
  EXPECT_EQ(alert->alertTitle(), "Import Sources");
  EXPECT_EQ(alert->message(), "Nothing to import");
  ASSERT_TRUE(ui.tap("Close"));
  EXPECT_FALSE(import->cydiaSelected() || import->zebraSelected() || import->sileoSelected());
  EXPECT_EQ(import->sileoCheckbox()->image(), UIImage::imageNamed("repo-unselected"));
  EXPECT_FALSE(preferences().boolForKey("setupDone")) << "the screen stays";

  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_TRUE(preferences().boolForKey("setupDone"));
  EXPECT_EQ(presenter->presentedViewController(), nullptr);
  EXPECT_TRUE(KVRSource::allObjects().empty());
}

TEST_F(SourceImportTest, AHundredThousandLinesImportTheCeilingWithAMessageAndTheManageTabShowsThemAtOnce) {
  preferences().removeObjectForKey("setupDone");
  std::string list;
  for (int i = 0; i < 100000; ++i) list += "deb http://127.0.0.1:9/r" + std::to_string(i) + "/ ./\n";
  place("/etc/apt/sources.list.d/cydia.list", list);
  openOver(false);
  ASSERT_TRUE(ui.tap("Cydia"));
  ASSERT_TRUE(ui.tap("Continue"));
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr) << ui.screen();
  EXPECT_NE(alert->message().value_or("").find("at most 1000 sources"), std::string::npos) << ui.screen();
  EXPECT_FALSE(preferences().boolForKey("setupDone")) << "the screen waits for the message to be read";
  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_EQ(presenter->presentedViewController(), nullptr);
  ASSERT_TRUE(DispatchQueue::drainGlobalQueues());
  ui.runUntilIdle();
  EXPECT_EQ(KVRSource::allObjects().count(), RepoTransferViewController::kMaxImportedSources);
  EXPECT_TRUE(source("http://127.0.0.1:9/r999/")) << "the first lines of the list";
  EXPECT_FALSE(source("http://127.0.0.1:9/r1000/"));

  auto manage = std::make_shared<ManageViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(manage));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return manage->dictOfInstalledPackagesCount().size() == 1000; }, 30));
  UITableView* table = manage->sourcesTableView();
  EXPECT_EQ(table->numberOfRowsInSection(0), 1000);
  auto made = [&] { return table->visibleCells().size() + table->reusePoolSize("sourcesCell"); };
  const size_t onScreen = size_t(UIScreen::mainScreen().bounds().height() / ManageViewController::kSourceRowHeight) + 2;
  EXPECT_TRUE(ui.screenShows("1.0: http://127.0.0.1:9/r0/")) << ui.screen();
  EXPECT_LE(made(), onScreen) << "cells for the rows on screen, not one per source";
  ASSERT_TRUE(ui.scroll("bottom"));
  EXPECT_TRUE(ui.screenShows("1.999: http://127.0.0.1:9/r999/")) << ui.screen();
  EXPECT_LE(made(), 2 * onScreen);
}

TEST_F(SourceImportTest, ANamedPipeOrALinkWhereAListBelongsIsRefusedWithoutWaiting) {
  TempDir outside;
  ASSERT_TRUE(Files::writeAtomically(outside.file("list"), std::string("deb http://127.0.0.1:9/outside/ ./\n")));
  std::string pipe = DeviceRoot::devicePath(RepoTransferViewController::cydiaSourceLists()[0]);
  std::string link = DeviceRoot::devicePath(RepoTransferViewController::sileoSourceLists()[0]);
  ASSERT_TRUE(Files::createDirectories(Files::deletingLastPathComponent(pipe)));
  ASSERT_EQ(mkfifo(pipe.c_str(), 0644), 0);
  ASSERT_EQ(symlink(outside.file("list").c_str(), link.c_str()), 0);
  openOver(true);
  ASSERT_TRUE(ui.tap("Cydia"));
  ASSERT_TRUE(ui.tap("Sileo"));
  ASSERT_TRUE(ui.tap("Continue"));  // an open of the pipe that waited for a writer would never come back
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr) << ui.screen();
  EXPECT_EQ(alert->message(), "Nothing to import");
  EXPECT_TRUE(KVRSource::allObjects().empty());
}

TEST_F(SourceImportTest, FromTheSettingsOnlyTheImportClosesAndTheNewSourceIsRefreshedAfter) {
  std::string a = serveIndex("a", stanza("com.a", "1.0"));
  place("/etc/apt/sources.list.d/sileo.sources", "Types: deb\nURIs: " + a + "\nSuites: ./\n");
  auto import = openOver(true);
  EXPECT_FALSE(import->isModalInPresentation());
  ASSERT_TRUE(ui.tap("Sileo"));
  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_EQ(presenter->presentedViewController(), step.get()) << "only the import closes";
  EXPECT_EQ(step->presentedViewController(), nullptr);
  EXPECT_EQ(announced, 0) << "the first run is not ended again";
  ASSERT_NO_FATAL_FAILURE(refreshesRun());
  EXPECT_EQ(locations(), std::vector<std::string>{a});
  EXPECT_TRUE(releaseRequested("a"));
}

TEST_F(SourceImportTest, TheProgressPageEndsTheFirstRunAndOpensItsWayOnWhenThePipelineIsEmpty) {
  preferences().removeObjectForKey("setupDone");
  std::string a = serveIndex("a", stanza("com.a", "1.0"));
  addSourceRecord(a);
  presenter = std::make_shared<UIViewController>();
  ui.show(presenter);
  auto progress = std::make_shared<RepoImportProgressViewController>(screenContext());
  presenter->presentViewController(progress, false);
  ui.runUntilIdle();
  EXPECT_TRUE(preferences().boolForKey("setupDone"));
  EXPECT_EQ(announced, 1);
  EXPECT_FALSE(progress->continueButton()->isEnabled());
  ASSERT_NO_FATAL_FAILURE(refreshesRun());
  EXPECT_TRUE(releaseRequested("a"));
  EXPECT_EQ(progress->taskCount(), 1u);
  ui.advance(1);
  EXPECT_TRUE(progress->continueButton()->isEnabled()) << ui.screen();
  EXPECT_EQ(progress->progressView()->progress(), 1.0f);
  ASSERT_TRUE(ui.tap("Continue"));
  EXPECT_EQ(presenter->presentedViewController(), nullptr);
}

}  // namespace
