// A .deb handed to the application: its fields read from an archive built with dpkg-deb
// whose name holds what shells treat specially, its install into the device root through
// the confirmation and the real APT, the files that install left, and the files that are
// no package.
#include <gtest/gtest.h>

#include "database/KVRPackage.h"
#include "interface/KVScreens.h"
#include "operations/ImportedPackageViewController.h"
#include "operations/InstalledFilesViewController.h"
#include "operations/KVAPTManager.h"
#include "support/DebBuilder.h"
#include "support/SourceRefreshFixture.h"
#include "support/UIDriver.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UINavigationController.h"

namespace {

class LocalPackageScreenTest : public SourceRefreshFixture {
 protected:
  std::unique_ptr<TestRoot> makeRoot() override { return std::make_unique<TestRoot>(TestRoot::WithManagers{}); }
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    ASSERT_EQ(KVAPTManager::createAPTSandboxIfNeeded(), nullptr);
    ui.show(std::make_shared<UIViewController>());
  }
  // Opens the screen as the application does for an opened file: over the root, in a
  // navigation stack.
  std::shared_ptr<ImportedPackageViewController> open(const std::string& path) {
    auto screen = std::make_shared<ImportedPackageViewController>(screenContext(), path);
    ui.window().rootViewController()->presentViewController(std::make_shared<UINavigationController>(screen), false);
    ui.runUntilIdle();
    return screen;
  }
  std::string inbox() const { return rootPath() + "/var/mobile/Documents/Inbox"; }

  UIDriver ui;
  TempDir outside;
};

TEST_F(LocalPackageScreenTest, AnArchiveOfThisMachineShowsItsFieldsInstallsAndItsCopyGoes) {
  const std::string name = "my pack \"q\" 'r' $HOME `true` \\ back\nline.deb";
  std::string archive = DebBuilder(outside.path())
                            .build(DebPackage("com.example.hello")
                                       .field("Name", "Hello")
                                       .field("Description", "says hello\n and more")
                                       .file("/usr/share/hello/hi.txt", "hi\n"),
                                   name);
  ASSERT_FALSE(archive.empty());
  auto screen = open(archive);
  EXPECT_EQ(screen->title(), "Hello");
  EXPECT_EQ(Files::deletingLastPathComponent(screen->localPackagePath()), inbox()) << "read from its copy in the inbox";
  EXPECT_EQ(Files::lastPathComponent(screen->localPackagePath()), "com.example.hello_1.0_iphoneos-arm.deb")
      << "named as APT names it";
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->isResolved(); }, 60)) << "APT's dry run of the archive";
  for (const char* row : {"0.0: Package Info\n", "0.1: Package | com.example.hello\n", "Description | says hello / and more",
                          "1.0: Raw Info\n", "1.1: Control | Package: com.example.hello"})
    EXPECT_TRUE(ui.screenShows(row)) << row << ui.screen();
  EXPECT_TRUE(screen->installButton()->isEnabled()) << "it needs nothing more";

  // Install leads to the confirmation, which installs it through APT.
  ASSERT_TRUE(ui.tap("Install"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("[Confirm]\n"); }, 60)) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: Hello | 1.0")) << ui.screen();
  ASSERT_TRUE(ui.tap("Confirm"));
  ASSERT_TRUE(waitForPipeline());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.hello"), "install ok installed");
  EXPECT_FALSE(Files::exists(screen->localPackagePath())) << "the copy goes once installed";
  EXPECT_TRUE(Files::exists(archive)) << "the original stays";

  // The installed files as the status import recorded them, drawn as a tree.
  ASSERT_TRUE(RunLoop::main().runUntil([] {
    auto package = KVRPackage::objectForPrimaryKey("com.example.hello");
    return package && !package->installedFiles().empty();
  }, 20));
  auto files = std::make_shared<InstalledFilesViewController>(screenContext(), "com.example.hello");
  ui.show(std::make_shared<UINavigationController>(files));
  std::vector<std::string> shown;
  UITableView* table = files->installedFilesTableView();
  for (long row = 0; row < table->numberOfRowsInSection(0); ++row)
    shown.push_back(files->tableViewCellForRowAtIndexPath(*table, {0, row})->textLabel()->text());
  EXPECT_EQ(shown, (std::vector<std::string>{"/.", "/usr", "\t/share", "\t\t/hello", "\t\t\t/hi.txt", ""}));
  EXPECT_EQ(files->navigationItem().title(), "Installed Files");
}

TEST_F(LocalPackageScreenTest, WhatIsNoPackageSaysWhyAndOnlyCancelIsLeft) {
  ASSERT_TRUE(Files::writeAtomically(outside.file("notes.deb"), std::string("not an archive\n")));
  auto screen = open(outside.file("notes.deb"));
  EXPECT_TRUE(ui.screenShows("0.0: This file is not a package that can be installed")) << ui.screen();
  EXPECT_FALSE(screen->installButton()->isEnabled());
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_FALSE(Files::exists(screen->localPackagePath())) << "Cancel deletes the file handed over";
  EXPECT_TRUE(Files::exists(outside.file("notes.deb")));

  // The application's own package is not installed this way; a field that is not UTF-8
  // is read on all the same.
  DebBuilder(outside.path()).build(DebPackage("me.korvale.quillbark").field("Author", "Bad \xFF\xFE byte"), "own.deb");
  screen = open(outside.file("own.deb"));
  EXPECT_TRUE(ui.screenShows("0.0: Warnings\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("Quillbark cannot be installed using the Open In method"));
  EXPECT_TRUE(ui.screenShows("Author | Bad \xEF\xBF\xBD")) << ui.screen();
  EXPECT_FALSE(screen->installButton()->isEnabled());
  ASSERT_TRUE(ui.tap("Cancel"));

  // A path of the device is the device's file; Cancel deletes it.
  Files::createDirectories(inbox());
  ASSERT_FALSE(DebBuilder(inbox()).build(DebPackage("com.example.handed"), "handed.deb").empty());
  screen = open("/var/mobile/Documents/Inbox/handed.deb");
  EXPECT_EQ(screen->localPackagePath(), inbox() + "/handed.deb");
  EXPECT_TRUE(ui.screenShows("0.1: Package | com.example.handed"));
  EXPECT_EQ(screen->title(), "com.example.handed") << "titled by its identifier without a name";
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_FALSE(Files::exists(inbox() + "/handed.deb"));
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);
}

// An archive whose dependency a source offers: its screen lists what APT will install with
// it, so does the confirmation, and Confirm installs both through APT, the dependency
// downloaded from its source. One whose dependency no source offers lists what is
// missing; it can't be installed, and nothing of it is unpacked.
TEST_F(LocalPackageScreenTest, AnArchivesDependencyComesFromTheSourcesOrIsNamedAsMissing) {
  DebBuilder(repositories.file("repo"))
      .build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library").file("/usr/lib/lib.txt", "lib\n"),
             "lib.deb");
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), {"lib.deb"}));
  ASSERT_TRUE(refresh(locationOf("repo")));

  auto screen = open(DebBuilder(outside.path()).build(DebPackage("com.example.local", "2.0").field("Depends", "com.example.lib"),
                                                     "local.deb"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return screen->isResolved(); }, 60));
  EXPECT_TRUE(ui.screenShows("1.0: Dependencies\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("1.1: Example Library | install 1.0\n")) << ui.screen();
  ASSERT_TRUE(ui.tap("Install"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.screenShows("[Confirm]\n"); }, 60)) << ui.screen();
  EXPECT_TRUE(ui.screenShows("0.0: com.example.local | 2.0")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("-- Other Packages --\n  1.0: Example Library | 1.0")) << ui.screen();
  ASSERT_TRUE(ui.tap("Confirm"));
  ASSERT_TRUE(waitForPipeline());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.local"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(server.requestCount("/repo/lib.deb"), 1u) << "fetched from its source";
  EXPECT_FALSE(Files::exists(screen->localPackagePath())) << "the copy goes once installed";

  auto orphan = open(DebBuilder(outside.path())
                         .build(DebPackage("com.example.orphan", "1.0").field("Depends", "com.example.nowhere"), "o.deb"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return orphan->isResolved(); }, 60));
  EXPECT_TRUE(ui.screenShows("1.0: Can't Be Installed\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("com.example.orphan needs com.example.nowhere, which no source offers")) << ui.screen();
  EXPECT_FALSE(orphan->installButton()->isEnabled());
  EXPECT_EQ(deviceRoot().packageStatus("com.example.orphan"), "") << "nothing unpacked";
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_FALSE(Files::exists(orphan->localPackagePath()));
}

TEST(InstalledFiles, ALineIsIndentedByItsDepth) {
  EXPECT_EQ(InstalledFilesViewController::rowTextForLine(""), "");
  EXPECT_EQ(InstalledFilesViewController::rowTextForLine("/."), "/.");
  EXPECT_EQ(InstalledFilesViewController::rowTextForLine("/Library"), "/Library");
  EXPECT_EQ(InstalledFilesViewController::rowTextForLine("/Library/MobileSubstrate/DynamicLibraries/x.dylib"),
            "\t\t\t/x.dylib");
}

}  // namespace
