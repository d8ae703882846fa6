// The changes tab on the install road: of two installed packages with a newer version
// served, the one held through the launcher's apt-mark is not listed; "Update All"
// queues the other, which the confirmed queue then upgrades on the device.
#include "InstallRoadFixture.h"
#include "sources/ChangesViewController.h"
#include "support/UIDriver.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {

class ChangesTabRoad : public InstallRoadFixture {
 protected:
  UIDriver ui;  // made before the device root, so the root is the fixture's
};

TEST_F(ChangesTabRoad, UpdateAllUpgradesWhatIsNotHeld) {
  std::string location = locationOf("repo");
  DebBuilder debs(repositories.file("repo"));
  auto build = [&](const std::string& identifier, const std::string& version) {
    std::string file = identifier + "-" + version + ".deb";
    debs.build(DebPackage(identifier, version).file("/usr/share/" + identifier + ".txt", version + "\n"), file);
    return file;
  };
  std::vector<std::string> files{build("com.example.kept", "1.0"), build("com.example.moved", "1.0")};
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), files));
  ASSERT_TRUE(refresh(location));
  queue("com.example.kept");
  queue("com.example.moved");
  confirm();
  ASSERT_EQ(deviceRoot().packageVersion("com.example.moved"), "1.0");
  UIAlertController* options = showOptions("com.example.kept");
  ASSERT_TRUE(options && options->chooseActionByUser("Ignore Updates"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return package("com.example.kept")->isHeld() == true; }, 30));
  closeWindow();

  files.push_back(build("com.example.kept", "2.0"));
  files.push_back(build("com.example.moved", "2.0"));
  ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("repo"), files));
  ageListFiles(location);
  ASSERT_TRUE(refresh(location));

  auto changes = std::make_shared<ChangesViewController>(screenContext());
  ui.show(std::make_shared<UINavigationController>(changes));
  ui.runUntilIdle();
  UITableView& updates = *changes->updatedPackagesTableView();
  ASSERT_EQ(updates.numberOfRowsInSection(0), 1) << ui.screen();
  EXPECT_EQ(changes->tableViewPackageAtIndexPath(updates, {0, 0})->identifier(), "com.example.moved");
  EXPECT_EQ(changes->updatedPackagesTitle()->text(), "1 Available Update");
  EXPECT_FALSE(changes->updatedPackagesCard()->isHidden());

  int told = 0;
  NotificationToken redraw = NotificationCenter::defaultCenter().addObserver(
      "UpdateQueueStateNotification-com.example.moved", [&](const Notification&) { ++told; });
  ASSERT_TRUE(ui.tap("Update All")) << ui.screen();
  EXPECT_EQ(told, 1) << "the queued package's rows are told";
  EXPECT_TRUE(package("com.example.moved")->isInTheQueue().value_or(false));
  EXPECT_FALSE(package("com.example.kept")->isInTheQueue().value_or(false));
  confirm();
  ASSERT_TRUE(aptEnd());
  ASSERT_TRUE(aptEnd()->userInfo["success"].asBool()) << aptFailureText();
  EXPECT_EQ(deviceRoot().packageVersion("com.example.moved"), "2.0");
  EXPECT_EQ(deviceRoot().packageVersion("com.example.kept"), "1.0");
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return updates.numberOfRowsInSection(0) == 0; }, 30));
  EXPECT_TRUE(changes->updatedPackagesCard()->isHidden());
  ui.window().setRootViewController(nullptr);
}

}  // namespace
