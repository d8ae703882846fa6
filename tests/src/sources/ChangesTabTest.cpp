// The changes tab over a real repository refreshed twice: the newest group, the group
// before it under "Older Changes", and "Show All Changes" after a lone group's packages.
#include <gtest/gtest.h>

#include <set>

#include "sources/ChangesViewController.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {

// Each stanza of an index with its package's identifier.
void forEachStanza(const std::string& index, const std::function<void(const std::string&, std::string)>& each) {
  size_t at = 0;
  while (at < index.size()) {
    size_t end = index.find("\n\n", at);
    std::string block = index.substr(at, end == std::string::npos ? std::string::npos : end + 2 - at);
    at = end == std::string::npos ? index.size() : end + 2;
    size_t id = block.find("Package: ");
    if (id == std::string::npos) continue;
    each(block.substr(id + 9, block.find('\n', id) - id - 9), block);
  }
}

class ChangesTabTest : public SourceRefreshFixture {
 protected:
  void TearDown() override {
    ui.window().setRootViewController(nullptr);
    changes.reset();
    SourceRefreshFixture::TearDown();
  }
  void open() {
    changes = std::make_shared<ChangesViewController>(screenContext());
    ui.show(std::make_shared<UINavigationController>(changes));
    ui.runUntilIdle();
  }
  std::string rowText(long section, long row) {
    UITableView& table = *changes->NewPackagesTableView();
    auto cell = table.cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
    if (!cell) cell = changes->tableViewCellForRowAtIndexPath(table, NSIndexPath::indexPathForRow(row, section));
    std::string text, detail, accessory;
    cell->screenRowParts(text, detail, accessory);
    return text;
  }

  UIDriver ui;
  std::shared_ptr<ChangesViewController> changes;
};

TEST_F(ChangesTabTest, TheNewestRefreshLeadsAndTheOneBeforeFollows) {
  QB_TESTDATA_OR_SKIP(poomsmart, "repos/poomsmart/repo");
  // The repository's stanzas, one version of each package.
  std::string original;
  std::set<std::string> seen;
  forEachStanza(Files::readText(poomsmart + "/Packages").value_or(""),
                [&](const std::string& identifier, const std::string& block) {
                  if (seen.insert(identifier).second) original += block;
                });
  std::string location = serveIndex("poomsmart", original);
  ASSERT_TRUE(refresh(location));
  // The first refresh as if long ago, so the next one is a group of its own.
  written(db()->write([&] { KVRPackage::allObjects().setValue("updatedDateStr", Value("2020-01-01 00:00")); }));

  // Every package counts, also those this device could not run.
  preferences().setObject(Value(true), "ShowIncompatiblePackages");
  open();
  const long lone = changes->newCount();
  ASSERT_GT(lone, 150);
  EXPECT_EQ(changes->oldCount(), 0);
  UITableView& newest = *changes->NewPackagesTableView();
  ASSERT_EQ(changes->numberOfSectionsInTableView(newest), 1);
  // Every package of a lone group up to 50 has its row; the button comes after them.
  ASSERT_EQ(newest.numberOfRowsInSection(0), 51);
  EXPECT_TRUE(changes->tableViewPackageAtIndexPath(newest, NSIndexPath::indexPathForRow(49, 0)));
  EXPECT_EQ(rowText(0, 50), "Show All Changes");
  EXPECT_EQ(changes->NewPackagesTableViewHeightConstraint()->constant(), 50 * 70 + 50);

  // 120 packages get a higher version.
  std::set<std::string> raised;
  std::string text;
  forEachStanza(original, [&](const std::string& identifier, std::string block) {
    if (raised.size() < 120 && raised.insert(identifier).second)
      block.insert(block.find('\n', block.find("\nVersion: ") + 1), "+q");
    text += block;
  });
  ASSERT_EQ(raised.size(), 120u);
  serveIndex("poomsmart", text);
  ageListFiles(location);
  ASSERT_TRUE(refresh(location));
  ui.runUntilIdle();
  // The raised packages are the newest group (with any the refresh dated again).
  const std::string newest_date = KVRPackage::objectForPrimaryKey(*raised.begin())->updatedDateStr().value_or("");
  const long fresh = static_cast<long>(KVRPackage::objectsWhere("updatedDateStr = %@", newest_date).count());
  EXPECT_GE(fresh, 120);
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return changes->newCount() == fresh; }, 30)) << changes->newCount();
  EXPECT_EQ(changes->NewPackagesTitle()->text(), std::to_string(fresh) + " New Packages");
  EXPECT_EQ(changes->oldCount(),
            static_cast<long>(KVRPackage::objectsWhere("updatedDateStr = %@", std::string("2020-01-01 00:00")).count()));
  ASSERT_EQ(changes->numberOfSectionsInTableView(newest), 2);
  EXPECT_EQ(newest.numberOfRowsInSection(0), 50);
  const long older = std::min(changes->oldCount(), 49L);
  ASSERT_EQ(newest.numberOfRowsInSection(1), older + 2);
  for (long row = 0; row < 50; ++row) {
    auto shown = changes->tableViewPackageAtIndexPath(newest, NSIndexPath::indexPathForRow(row, 0));
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->updatedDateStr(), newest_date) << row;
  }
  // Section 1 holds only the group before: none of the 120 raised there.
  EXPECT_EQ(rowText(1, 0), "Older Changes");
  EXPECT_EQ(rowText(1, older + 1), "Show All Changes");
  EXPECT_FALSE(changes->tableViewPackageAtIndexPath(newest, NSIndexPath::indexPathForRow(0, 1)));
  for (long row = 1; row <= older; ++row) {
    auto shown = changes->tableViewPackageAtIndexPath(newest, NSIndexPath::indexPathForRow(row, 1));
    ASSERT_TRUE(shown) << row;
    EXPECT_EQ(shown->updatedDateStr(), "2020-01-01 00:00");
  }
  EXPECT_EQ(changes->NewPackagesTableViewHeightConstraint()->constant(), 50 * 70 + double(older) * 70 + 2 * 50);

  // The last row is below the page's fold: a person scrolls to it.
  EXPECT_FALSE(ui.screenShows("Show All Changes"));
  ASSERT_TRUE(ui.scroll("bottom"));
  ASSERT_TRUE(ui.tap("Show All Changes")) << ui.screen();
  EXPECT_NE(ui.front(), changes.get());
}

}  // namespace
