// The window's pointer and keys on rows and wheels, on the main loop's clock: a row
// dragged left or turned sideways by the wheel uncovers its swipe actions, a held row
// shows its menu after half a second, and a click runs what they offer; the settings'
// picker turns by the wheel, a drag, the keys and a click on a row, and keeps the choice
// when its caption is clicked; a click on the status strip over a row scrolled under it
// reaches nothing.
#include <gtest/gtest.h>

#include <sstream>

#include "core/NSBundleLocalizedBundle.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "interface/KVUIPickerCell.h"
#include "interface/SettingsPlistViewController.h"
#include "render/ViewRenderer.h"
#include "render/WindowInput.h"
#include "render/WindowReport.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "system/DeviceRoot.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UISwitch.h"
#include "uikit/UITableView.h"

namespace {
class Sources : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  std::vector<std::string> rows{"Repo A", "Repo B", "Repo C"}, events;
  std::shared_ptr<UITableView> table;
  void viewDidLoad() override {
    table = std::make_shared<UITableView>(view()->bounds());
    table->registerClass<UITableViewCell>("cell");
    table->setDataSource(this);
    table->setTableDelegate(this);
    view()->addSubview(table);
  }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(rows.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    auto cell = t.dequeueReusableCellWithIdentifier("cell", p);
    cell->textLabel()->setText(rows[size_t(p.row)]);
    return cell;
  }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& p) override { events.push_back("open " + rows[size_t(p.row)]); }
  std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(UITableView& t,
                                                                                          const NSIndexPath& p) override {
    std::string name = rows[size_t(p.row)];
    auto remove = UITableViewRowAction::rowActionWithStyle(UITableViewRowActionStyleDestructive, "Remove",
                                                           [this, &t, name](UITableViewRowAction&, const NSIndexPath& at) {
                                                             events.push_back("remove " + name);
                                                             rows.erase(rows.begin() + at.row);
                                                             t.deleteRowsAtIndexPaths({at}, UITableViewRowAnimationFade);
                                                           });
    auto refresh = UITableViewRowAction::rowActionWithStyle(
        UITableViewRowActionStyleNormal, "Refresh",
        [this, name](UITableViewRowAction&, const NSIndexPath&) { events.push_back("refresh " + name); });
    return {remove, refresh};
  }
  bool tableViewShouldShowMenuForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return true; }
  bool tableViewCanPerformAction(UITableView&, const std::string& action, const NSIndexPath&) override { return action == "copy:"; }
  void tableViewPerformAction(UITableView&, const std::string&, const NSIndexPath& p) override {
    UIPasteboard::generalPasteboard().setString(rows[size_t(p.row)]);
  }
};

class WindowGestures : public ::testing::Test {
 protected:
  // The centre of a view, or a point of it, in the window.
  static CGPoint at(const UIView& view, double x, double y) {
    CGPoint origin = ViewRenderer::originInWindow(view);
    return {origin.x + x, origin.y + y};
  }
  static CGPoint centre(const UIView& view) { return at(view, view.frame().width() / 2, view.frame().height() / 2); }
  void click(CGPoint point) {
    input.pointer(point, true);
    input.pointer(point, false);
    ui.runUntilIdle();
  }
  // A drag in four moves, let go at its end.
  void drag(CGPoint from, double dx, double dy) {
    input.pointer(from, true);
    for (int step = 1; step <= 4; ++step) input.pointer({from.x + dx * step / 4, from.y + dy * step / 4}, true);
    input.pointer({from.x + dx, from.y + dy}, false);
    ui.runUntilIdle();
  }
  UITableViewCell& row(long index) { return *sources->table->cellForRowAtIndexPath({0, index}); }
  void showSources() {
    ui.show(std::make_shared<UINavigationController>(sources));
    ui.runUntilIdle();
  }

  TestRoot root;
  UIDriver ui;
  ViewRenderer::Watched watched{false};
  WindowInput input;
  std::shared_ptr<Sources> sources = std::make_shared<Sources>();
};
}  // namespace

TEST_F(WindowGestures, ARowDraggedLeftUncoversItsActionsAndAClickRunsOne) {
  showSources();
  UITableView& table = *sources->table;
  // A short drag: the row goes back, and nothing is opened or run.
  drag(centre(row(1)), -25, 0);
  EXPECT_EQ(table.slidRow(), std::nullopt);
  EXPECT_DOUBLE_EQ(row(1).frame().minX(), 0);
  // Far enough: the buttons stay, the first action outermost, each where a click finds it.
  drag(centre(row(1)), -150, 2);
  ASSERT_EQ(table.slidRow(), (NSIndexPath{0, 1}));
  EXPECT_TRUE(ui.screenShows("0.1: Repo B  [Refresh] [Remove]")) << ui.screen();
  std::string report = WindowReport::describe();
  EXPECT_NE(report.find(" Remove\n"), std::string::npos) << report;
  EXPECT_TRUE(sources->events.empty()) << "a drag opens no row";
  // A click anywhere else puts them back, and does nothing more.
  click(centre(row(0)));
  EXPECT_EQ(table.slidRow(), std::nullopt);
  EXPECT_TRUE(sources->events.empty());

  drag(centre(row(1)), -150, 0);
  UIView* actions = table.rowActionsView();
  ASSERT_NE(actions, nullptr);
  click(at(*actions, actions->frame().width() - 20, 20));
  EXPECT_EQ(sources->events, std::vector<std::string>{"remove Repo B"});
  EXPECT_TRUE(ui.screenShows("0.1: Repo C\n")) << ui.screen();
  EXPECT_EQ(table.rowActionsView(), nullptr);
}

TEST_F(WindowGestures, ASidewaysWheelUncoversARowsActionsAndPutsThemBack) {
  showSources();
  UITableView& table = *sources->table;
  input.pointer(centre(row(2)), false);
  input.wheelSideways(0.4);
  EXPECT_EQ(table.slidRow(), std::nullopt) << "a touchpad's first small moves";
  input.wheelSideways(0.7);
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), (NSIndexPath{0, 2}));
  EXPECT_TRUE(ui.screenShows("0.2: Repo C  [Refresh] [Remove]"));
  input.wheelSideways(-1);
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), std::nullopt);
  input.wheelSideways(-1);
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), std::nullopt) << "nothing at the row's left";
  // Open, a turn of the wheel that scrolls puts them back.
  input.wheelSideways(1);
  input.wheel(-1);
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), std::nullopt);
}

TEST_F(WindowGestures, AHeldRowShowsItsMenuAfterHalfASecondAndAClickChoosesFromIt) {
  showSources();
  UITableView& table = *sources->table;
  CGPoint onRow = centre(row(0));
  input.pointer(onRow, true);
  ui.advance(0.4);
  EXPECT_FALSE(table.isShowingMenu());
  ui.advance(0.2);
  ASSERT_TRUE(table.isShowingMenu());
  EXPECT_TRUE(ui.screenShows("0.0: Repo A  [Copy]"));
  input.pointer(onRow, false);
  ui.runUntilIdle();
  EXPECT_TRUE(sources->events.empty()) << "the held press opens no row";
  EXPECT_TRUE(table.isShowingMenu()) << "the menu stays once the button is up";
  click(centre(*table.rowActionsView()));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "Repo A");
  EXPECT_FALSE(table.isShowingMenu());
  // A press let go sooner is a click.
  input.pointer(onRow, true);
  ui.advance(0.3);
  input.pointer(onRow, false);
  ui.runUntilIdle();
  EXPECT_FALSE(table.isShowingMenu());
  EXPECT_EQ(sources->events, std::vector<std::string>{"open Repo A"});
}

TEST_F(WindowGestures, TheSettingsPickerTurnsByWheelDragKeysAndClicksAndItsCaptionKeepsTheChoice) {
  Files::createDirectories(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport));
  auto settings = std::make_shared<SettingsPlistViewController>(screenContext(), []() -> std::optional<std::string> { return std::nullopt; });
  ui.show(std::make_shared<UINavigationController>(settings));
  ui.runUntilIdle();
  ASSERT_TRUE(ui.scroll("bottom"));
  ASSERT_TRUE(ui.tap("Interface Language"));
  KVUIPickerCell* cell = nullptr;
  for (const auto& visible : settings->tableView()->visibleCells())
    if (auto* picker = dynamic_cast<KVUIPickerCell*>(visible.get()); picker && picker->isExpanded()) cell = picker;
  ASSERT_NE(cell, nullptr) << ui.screen();
  // The wheel in sight, as a person scrolls to it.
  settings->tableView()->scrollToRowAtIndexPath(*settings->tableView()->indexPathForCell(cell), UITableViewScrollPositionMiddle, false);
  ui.runUntilIdle();
  UIPickerView& picker = *cell->picker();
  auto chosen = [&] { return picker.selectedRowInComponent(0); };
  // One turn of the wheel that scrolls the list on past the picker leaves it as it is.
  CGPoint caption = centre(*cell->doneLabel());
  input.pointer(caption, false);
  for (int notch = 0; notch < 3; ++notch) input.wheel(-1);
  ui.runUntilIdle();
  ASSERT_LT(ViewRenderer::originInWindow(picker).y, caption.y) << "the wheel went under the pointer";
  EXPECT_EQ(chosen(), 0);
  ui.advance(1);
  CGPoint middle = centre(picker);
  ASSERT_EQ(WindowInput::viewAt(middle), &picker) << ui.screen();

  input.pointer(middle, false);
  input.wheel(-1);  // towards the person: the next row
  EXPECT_EQ(chosen(), 1);
  EXPECT_TRUE(input.turnPicker(-1));
  EXPECT_EQ(chosen(), 0);
  EXPECT_FALSE(input.turnPicker(-1)) << "at the first row";
  drag(middle, 0, -picker.rowHeightForComponent(0));
  EXPECT_EQ(chosen(), 1) << "dragged up by a row";
  CGRect above = picker.rectForRow(0, 0);
  click(at(picker, above.midX(), above.midY()));
  EXPECT_EQ(chosen(), 0) << "a click on the row above turns the wheel to it";
  click(middle);
  EXPECT_TRUE(cell->isExpanded()) << "a click on the chosen row keeps the wheel open";
  std::string report = WindowReport::describe();
  EXPECT_NE(report.find(" Français\n"), std::string::npos) << "the rows of the wheel are places of the report\n" << report;
  EXPECT_TRUE(input.turnPicker(1));

  click(centre(*cell->doneLabel()));
  EXPECT_FALSE(cell->isExpanded());
  EXPECT_EQ(NSBundleLocalizedBundle::storedLanguage(), std::optional<std::string>("fr"));
  NSBundleLocalizedBundle::setLanguage(std::nullopt);
}

TEST_F(WindowGestures, AClickOnTheStatusStripOverARowScrolledUnderItReachesNothing) {
  Files::createDirectories(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport));
  auto settings = std::make_shared<SettingsPlistViewController>(screenContext(), []() -> std::optional<std::string> { return std::nullopt; });
  ui.show(std::make_shared<UINavigationController>(settings));
  ui.runUntilIdle();
  // The first switch's row scrolled up under the strip.
  UITableView& table = *settings->tableView();
  UISwitch* toggle = nullptr;
  for (const auto& visible : table.visibleCells())
    if (auto* s = dynamic_cast<UISwitch*>(visible->accessoryView().get()); s && !toggle) toggle = s;
  ASSERT_NE(toggle, nullptr) << ui.screen();
  double strip = ui.window().safeAreaInsetsWithoutBars().top;
  CGPoint offset = table.contentOffset();
  offset.y += centre(*toggle).y - strip / 2;
  table.setContentOffset(offset);
  ui.runUntilIdle();
  CGPoint onSwitch = centre(*toggle);
  ASSERT_LT(onSwitch.y, strip);
  ASSERT_GT(onSwitch.y, 0);
  bool on = toggle->isOn();
  click(onSwitch);
  EXPECT_EQ(toggle->isOn(), on);
  EXPECT_EQ(WindowInput::viewAt(onSwitch), nullptr);
  // Nor does the report tell of a place there.
  std::istringstream report(WindowReport::describe());
  for (std::string line; std::getline(report, line) && line != "screen";) {
    double x = 0, y = 0, width = 0, height = 0;
    std::istringstream(line.substr(6)) >> x >> y >> width >> height;
    EXPECT_GE(y + height / 2, strip) << line;
  }
}
