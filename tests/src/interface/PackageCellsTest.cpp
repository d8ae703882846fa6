// The package rows: their status icons, sub-information lines and button titles from the
// records, the one queue-state observation a reused row keeps, and the GET button's tap
// and long press through the real application delegate.
#include <gtest/gtest.h>

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/NotificationCenter.h"
#include "interface/GetPackageCell.h"
#include "interface/MultiLineHeaderFooterView.h"
#include "interface/PackageCell.h"
#include "interface/UIButtonGetButton.h"
#include "uikit/UILongPressGestureRecognizer.h"
#include "support/PackageRecordsFixture.h"
#include "support/UIDriver.h"
#include "support/Written.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIFont.h"
#include "uikit/UIImage.h"
#include "uikit/UINib.h"
#include "uikit/UIWindow.h"

namespace {

class PackageCellsTest : public PackageRecordsFixture {
 protected:
  void SetUp() override {
    PackageRecordsFixture::SetUp();
    PackageCell::registerInterfaceFile();
    GetPackageCell::registerInterfaceFile();
    screen = std::make_shared<UIViewController>();
    ui.show(screen);
  }
  void TearDown() override {
    for (const char* key : {"ReplacePackageMaintainerWithSourceName", "HidePackageVersion"})
      QuillbarkPersistentPreferences::sharedInstance().setObject(Value(false), key);
    PackageRecordsFixture::TearDown();
  }
  std::shared_ptr<PackageCell> packageCell() {
    auto cell = std::static_pointer_cast<PackageCell>(UINib::instantiateView("PackageCell"));
    screen->view()->addSubview(cell);
    return cell;
  }
  std::shared_ptr<GetPackageCell> getCell() {
    auto cell = std::static_pointer_cast<GetPackageCell>(UINib::instantiateView("GetPackageCell"));
    cell->setFrame(CGRect::make(0, 100, 375, 70));
    screen->view()->addSubview(cell);
    return cell;
  }
  void queue(const std::string& identifier, int64_t operation, std::optional<std::string> version = std::nullopt) {
    ASSERT_EQ(packages().setPackage(identifier, true, version, operation), nullptr);
  }
  static std::string statusImage(const PackageCell& cell) {
    auto* view = cell.installOrQueueStatusImageView();
    return view->isHidden() || !view->image() ? "" : view->image()->name();
  }
  static void preference(const char* key, bool on) {
    QuillbarkPersistentPreferences::sharedInstance().setObject(Value(on), key);
  }

  UIDriver ui;
  std::shared_ptr<UIViewController> screen;
};

TEST_F(PackageCellsTest, TheStatusIconFollowsQueueAndInstallState) {
  add(package("com.example.plain"));
  add(installed("com.example.old", "2.0"));
  KVRPackage stale = installed("com.example.stale", "1.0");
  stale.setQueueOperation(int64_t(KVQueueOperationRemove));  // left from an earlier queue
  add(stale);
  auto cell = packageCell();

  cell->updateWithPackage(*record("com.example.plain"));
  cell->updateQueuingIconWithPackage(record("com.example.plain"));
  EXPECT_EQ(statusImage(*cell), "");
  EXPECT_EQ(cell->descriptionLblTrailingConstraint()->constant(), 0);

  queue("com.example.old", KVQueueOperationDowngrade, "1.0");
  cell->updateWithPackage(*record("com.example.old"));
  cell->updateQueuingIconWithPackage(record("com.example.old"));
  EXPECT_EQ(statusImage(*cell), "downgrade");
  EXPECT_EQ(cell->installOrQueueStatusImageView()->tintColor(), UIColor::systemOrangeColor());
  EXPECT_EQ(cell->installOrQueueStatusImageView()->image()->renderingMode(), UIImageRenderingModeAlwaysTemplate);
  EXPECT_EQ(cell->descriptionLblTrailingConstraint()->constant(), 51);
  EXPECT_EQ(cell->versionLbl()->text(), "2.0");
  cell->updateVersionLabelShowingDowngradeIfNeededForPackage(*record("com.example.old"));
  EXPECT_EQ(cell->versionLbl()->text(), "1.0") << "the confirmation shows the older version queued";

  cell->updateWithPackage(*record("com.example.stale"));
  cell->updateQueuingIconWithPackage(record("com.example.stale"));
  EXPECT_EQ(statusImage(*cell), "installed");
  EXPECT_EQ(cell->installOrQueueStatusImageView()->tintColor(), UIColor::systemGreenColor());

  cell->updateQueuingIconWithPackage(std::nullopt);  // the record is gone
  EXPECT_EQ(statusImage(*cell), "");
}

// In a row narrower than the screen (the search tab's card) the state mark and the
// version move in with the trailing edge, clear of the chevron; a full row is as drawn.
TEST_F(PackageCellsTest, TheStateMarkKeepsClearOfTheChevronInANarrowRow) {
  auto cell = packageCell();
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  for (double width : {375.0, 343.0}) {
    cell->setFrame(CGRect::make(0, 0, width, 70));
    cell->layoutSubviews();
    const CGRect mark = cell->installOrQueueStatusImageView()->frame();
    EXPECT_LE(mark.maxX(), cell->contentView()->bounds().width() + 4) << width;
    EXPECT_LE(cell->nameLbl()->frame().maxX(), cell->versionLbl()->frame().minX()) << width;
    if (width == 375) {
      EXPECT_EQ(mark.minX(), 320);
    }
  }
}

// An installed package with an update shows both versions on its rows; a held one says
// it is held; one without an update shows its own version, the compact row none.
TEST_F(PackageCellsTest, RowsShowAnUpdatesVersionsAndAHold) {
  for (const char* id : {"com.example.update", "com.example.held"}) {
    KVRPackage p = installed(id, "1.0");
    p.setVersion(std::string("2.0"));
    p.setIsUpdated(true);
    p.setIsHeld(std::string(id) == "com.example.held");
    add(p);
  }
  add(installed("com.example.current", "1.0"));
  auto row = packageCell();
  auto compact = getCell();
  for (auto [id, text] : std::vector<std::pair<std::string, std::string>>{
           {"com.example.update", "1.0 \u2192 2.0"}, {"com.example.held", "1.0 (Held)"}, {"com.example.current", "1.0"}}) {
    row->updateWithPackage(*record(id));
    EXPECT_EQ(row->versionLbl()->text(), text) << id;
    compact->updateWithPackage(*record(id));
    EXPECT_EQ(compact->versionLbl()->isHidden(), id == "com.example.current") << id;
    EXPECT_EQ(compact->versionLbl()->text(), id == "com.example.current" ? "" : text) << id;
  }
  compact->updateWithPackage(*record("com.example.held"));
  EXPECT_TRUE(ui.screenShows("com.example.held | ")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("1.0 (Held)")) << ui.screen();
}

TEST_F(PackageCellsTest, SubInformationComesFromTheMaintainerTheContactOrTheSource) {
  addSource("https://repo.example/");
  written(db()->write([&] {
    auto source = *KVRSource::objectForPrimaryKey(std::string("https://repo.example/"));
    source.setName(std::string("Example Repo"));
    source.setContact(std::string("owner@repo.example"));
    db()->addOrUpdate(source.toObject());
  }));
  KVRPackage bare = package("com.example.bare");  // neither maintainer nor contact
  bare.setSourceLocation(std::string("https://repo.example/"));
  KVRPackage empty = package("com.example.empty");
  empty.setMaintainer(std::string(""));
  empty.setContact(std::string("never@shown"));
  empty.setSourceLocation(std::string("https://repo.example/"));
  KVRPackage loose = package("com.example.loose");  // no source at all
  KVRPackage orphan = package("com.example.orphan");
  orphan.setSourceLocation(std::string("https://gone.example/"));
  for (auto* p : {&bare, &empty, &loose, &orphan}) add(*p);

  auto compact = getCell();
  compact->updateWithPackage(*record("com.example.bare"));
  EXPECT_EQ(compact->maintainerLbl()->text(), "owner@repo.example");
  compact->updateWithPackage(*record("com.example.empty"));
  EXPECT_EQ(compact->maintainerLbl()->text(), "owner@repo.example") << "an empty maintainer skips the package's contact";
  compact->updateWithPackage(*record("com.example.loose"));
  EXPECT_EQ(compact->maintainerLbl()->text(), "Unknown");

  preference("ReplacePackageMaintainerWithSourceName", true);
  auto row = packageCell();
  for (auto* cellName : {"com.example.bare", "com.example.loose", "com.example.orphan"}) {
    row->updateWithPackage(*record(cellName));
    compact->updateWithPackage(*record(cellName));
    EXPECT_EQ(row->subinfoLbl()->text(), compact->maintainerLbl()->text()) << cellName;
  }
  row->updateWithPackage(*record("com.example.bare"));
  EXPECT_EQ(row->subinfoLbl()->text(), "Example Repo");
  row->updateWithPackage(*record("com.example.loose"));
  EXPECT_EQ(row->subinfoLbl()->text(), "Unknown");
  row->updateWithPackage(*record("com.example.orphan"));
  EXPECT_EQ(row->subinfoLbl()->text(), "") << "a source record that is gone leaves the line empty";
}

TEST_F(PackageCellsTest, ButtonTitlesAndTheirWidth) {
  KVRPackage free = package("com.example.free");
  free.setPrice(std::string("Free"));
  KVRPackage zero = package("com.example.zero");
  zero.setPrice(std::string("0"));
  KVRPackage paid = package("com.example.paid");
  paid.setPrice(std::string("$1.99"));
  KVRPackage owned = installed("com.example.owned", "1.0");
  owned.setPrice(std::string("$1.99"));
  KVRPackage held = installed("com.example.held", "1.0");
  held.setIsUpdated(true);
  held.setIsHeld(true);
  KVRPackage update = installed("com.example.update", "1.0");
  update.setIsUpdated(true);
  for (auto* p : {&free, &zero, &paid, &owned, &held, &update}) add(*p);

  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.free"), true), "GET");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.zero"), true), "GET");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.paid"), true), "$1.99");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.paid"), false), "GET");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.owned"), true), "UNINSTALL");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.held"), false), "UNINSTALL");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.update"), false), "UPDATE");
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(std::nullopt, false), "GET");
  queue("com.example.update", KVQueueOperationUpgrade);
  EXPECT_EQ(GetPackageCell::buttonTitleForPackage(record("com.example.update"), false), "QUEUED");

  auto cell = getCell();
  for (const char* id : {"com.example.free", "com.example.owned", "com.example.update"}) {
    cell->updateButtonTitleWithPackage(record(id), false);
    std::string title = GetPackageCell::buttonTitleForPackage(record(id), false);
    EXPECT_EQ(cell->getBtn()->currentTitle(), title);
    EXPECT_EQ(cell->getBtnWidthConstraint()->constant(), UIFont::boldSystemFontOfSize(13).widthOfString(title) + 32);
  }
}

TEST_F(PackageCellsTest, AReusedRowFollowsOnlyItsNewPackage) {
  add(package("com.example.first"));
  add(package("com.example.second"));
  auto row = packageCell();
  auto compact = getCell();
  row->updateWithPackage(*record("com.example.first"));
  compact->updateWithPackage(*record("com.example.first"));
  compact->updateButtonTitleWithPackage(record("com.example.first"), false);
  row->updateWithPackage(*record("com.example.second"));
  compact->updateWithPackage(*record("com.example.second"));
  compact->updateButtonTitleWithPackage(record("com.example.second"), false);

  // The first package is queued behind the rows' backs: its announcement no longer
  // reaches them.
  queue("com.example.first", KVQueueOperationInstall);
  NotificationCenter::defaultCenter().post("UpdateQueueStateNotification-com.example.first");
  ui.runUntilIdle();
  EXPECT_EQ(statusImage(*row), "");
  EXPECT_EQ(compact->getBtn()->currentTitle(), "GET");

  queue("com.example.second", KVQueueOperationInstall);
  NotificationCenter::defaultCenter().post("UpdateQueueStateNotification-com.example.second");
  ui.runUntilIdle();
  EXPECT_EQ(statusImage(*row), "install");
  EXPECT_EQ(compact->getBtn()->currentTitle(), "QUEUED");

  // A row its table dropped is not kept alive by its observation.
  std::weak_ptr<UIView> gone = row;
  row->removeFromSuperview();
  row.reset();
  EXPECT_TRUE(gone.expired());
  NotificationCenter::defaultCenter().post("UpdateQueueStateNotification-com.example.second");
  ui.runUntilIdle();
}

TEST_F(PackageCellsTest, ATapQueuesTheFreePackageAndALongPressOpensItsOptions) {
  add(package("com.example.tool"));
  auto cell = getCell();
  cell->updateWithPackage(*record("com.example.tool"));
  cell->updateButtonTitleWithPackage(record("com.example.tool"), false);
  ui.runUntilIdle();

  ASSERT_TRUE(ui.tap("GET"));
  EXPECT_TRUE(record("com.example.tool")->isInTheQueue().value_or(false));
  EXPECT_EQ(cell->getBtn()->currentTitle(), "QUEUED");
  EXPECT_EQ(screen->presentedViewController(), nullptr) << "a tap opens no options";
  EXPECT_TRUE(cell->getBtn()->transform().isIdentity()) << "the bounce has come back";

  auto press = UIButtonGetButton::hapticPress(*cell->getBtn());
  EXPECT_EQ(press->minimumPressDuration(), 0.2);
  EXPECT_EQ(press, UIButtonGetButton::hapticPress(*cell->getBtn())) << "made once";
  ASSERT_TRUE(ui.longPress("QUEUED", 0.3));
  auto* options = dynamic_cast<UIAlertController*>(screen->presentedViewController());
  ASSERT_NE(options, nullptr) << ui.screen();
}

TEST(MultiLineHeaderFooterViewTest, AlwaysASubtitleRowWithWrappingLabels) {
  MultiLineHeaderFooterView cell(UITableViewCellStyleDefault, "footerCell");
  EXPECT_EQ(cell.style(), UITableViewCellStyleSubtitle);
  ASSERT_NE(cell.detailTextLabel(), nullptr);
  EXPECT_EQ(cell.textLabel()->numberOfLines(), 0);
  EXPECT_EQ(cell.detailTextLabel()->lineBreakMode(), NSLineBreakByWordWrapping);
}

}  // namespace
