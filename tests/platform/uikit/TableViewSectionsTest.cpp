// A list in lettered sections as the package lists build it: headers, fixed row
// heights, rows that refuse selection, scrolling to a row's place, and the row actions
// a swipe offers.
#include <gtest/gtest.h>

#include <map>

#include "support/UIDriver.h"
#include "uikit/UIContextualAction.h"
#include "uikit/UITableView.h"

namespace {
class Letters : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  std::map<std::string, std::vector<std::string>> sections{
      {"A", {"Activator", "AppSync"}}, {"K", {"Kelvin"}}, {"S", {"Snowboard", "SpringCuts", "Safari Plus"}}};
  std::vector<std::string> queued, opened;
  std::shared_ptr<UITableView> table;
  void viewDidLoad() override {
    table = std::make_shared<UITableView>(CGRect::make(0, 0, 375, 300));
    table->registerClass<UITableViewCell>("cell");
    table->setDataSource(this);
    table->setTableDelegate(this);
    auto header = std::make_shared<UIView>(CGRect::make(0, 0, 375, 50));
    table->setTableHeaderView(header);
    view()->addSubview(table);
  }
  const std::string& letter(long section) const { return std::next(sections.begin(), section)->first; }
  const std::string& name(const NSIndexPath& p) const { return std::next(sections.begin(), p.section)->second[size_t(p.row)]; }
  long numberOfSectionsInTableView(UITableView&) override { return long(sections.size()); }
  long tableViewNumberOfRowsInSection(UITableView&, long s) override { return long(std::next(sections.begin(), s)->second.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    auto cell = t.dequeueReusableCellWithIdentifier("cell", p);
    cell->textLabel()->setText(name(p));
    return cell;
  }
  std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long s) override { return letter(s); }
  std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) override { return {"A", "K", "S"}; }
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 70; }
  // Rows of packages that are gone cannot be opened.
  std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&, const NSIndexPath& p) override {
    if (name(p) == "Kelvin") return std::nullopt;
    return p;
  }
  void tableViewDidSelectRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    t.deselectRowAtIndexPath(p, true);
    opened.push_back(name(p));
  }
  std::shared_ptr<UISwipeActionsConfiguration> tableViewTrailingSwipeActionsConfigurationForRowAtIndexPath(
      UITableView&, const NSIndexPath& p) override {
    std::string package = name(p);
    bool isQueued = std::find(queued.begin(), queued.end(), package) != queued.end();
    auto action = UIContextualAction::contextualActionWithStyle(
        UIContextualActionStyleNormal, isQueued ? "Remove" : "Queue",
        [this, package, isQueued](UIContextualAction&, UIView*, std::function<void(bool)> done) {
          if (isQueued) std::erase(queued, package);
          else queued.push_back(package);
          done(true);
        });
    return UISwipeActionsConfiguration::configurationWithActions({action});
  }
};

class TableViewSectionsTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.show(screen); }
  UIDriver ui;
  std::shared_ptr<Letters> screen = std::make_shared<Letters>();
};
}  // namespace

TEST_F(TableViewSectionsTest, SectionsStackUnderTheTableHeader) {
  auto& table = *screen->table;
  // Plain style: a titled header is 28 points; rows are 70.
  EXPECT_EQ(table.rectForHeaderInSection(0), CGRect::make(0, 50, 375, 28));
  EXPECT_EQ(table.rectForRowAtIndexPath({0, 1}), CGRect::make(0, 50 + 28 + 70, 375, 70));
  EXPECT_EQ(table.rectForHeaderInSection(1).minY(), 50 + 28 + 140);
  EXPECT_EQ(table.contentSize().height, 50 + 3 * 28 + 6 * 70);
  EXPECT_EQ(table.indexPathForRowAtPoint({10, 50 + 28 + 140 + 28 + 5}), (NSIndexPath{1, 0}));
  EXPECT_FALSE(table.indexPathForRowAtPoint({10, 60})) << "a header is no row";
  EXPECT_TRUE(table.rectForRowAtIndexPath({5, 0}).isEmpty());
  EXPECT_TRUE(ui.screenShows("  -- A --\n  0.0: Activator\n  0.1: AppSync\n")) << ui.screen();
}

TEST_F(TableViewSectionsTest, ScrollingToARowPutsItWhereAsked) {
  auto& table = *screen->table;
  CGRect safari = table.rectForRowAtIndexPath({2, 2});
  table.scrollToRowAtIndexPath({2, 2}, UITableViewScrollPositionTop, false);
  EXPECT_EQ(table.contentOffset().y, std::min(safari.minY(), table.contentSize().height - 300)) << "never past the end";
  table.scrollToRowAtIndexPath({1, 0}, UITableViewScrollPositionMiddle, false);
  CGRect kelvin = table.rectForRowAtIndexPath({1, 0});
  EXPECT_EQ(table.contentOffset().y, kelvin.minY() - (300 - 70) / 2);
  table.scrollToRowAtIndexPath({0, 0}, UITableViewScrollPositionBottom, false);
  EXPECT_EQ(table.contentOffset().y, 0) << "nor before the start";
  table.scrollToRowAtIndexPath({2, 0}, UITableViewScrollPositionNone, false);
  EXPECT_EQ(table.contentOffset().y, table.rectForRowAtIndexPath({2, 0}).maxY() - 300) << "just enough to show it";
  table.scrollToRowAtIndexPath({2, 2}, UITableViewScrollPositionTop, false);
  ui.runUntilIdle();
  EXPECT_TRUE(table.cellForRowAtIndexPath({2, 0}));
  EXPECT_FALSE(table.cellForRowAtIndexPath({0, 0})) << "rows that left the screen gave up their cells";
}

TEST_F(TableViewSectionsTest, SelectionsThatAreRefusedOrUndoneAndSwipedActions) {
  ASSERT_TRUE(ui.tap("AppSync"));
  EXPECT_EQ(screen->opened, (std::vector<std::string>{"AppSync"}));
  EXPECT_FALSE(screen->table->indexPathForSelectedRow()) << "the screen deselected it";
  ASSERT_TRUE(ui.tap("Kelvin"));
  EXPECT_EQ(screen->opened.size(), 1u) << "the delegate refused it";
  EXPECT_FALSE(screen->table->indexPathForSelectedRow());

  ASSERT_TRUE(ui.swipeRow("Activator", "Queue"));
  EXPECT_EQ(screen->queued, (std::vector<std::string>{"Activator"}));
  EXPECT_FALSE(ui.swipeRow("Activator", "Queue")) << "a queued row offers Remove instead";
  ASSERT_TRUE(ui.swipeRow("0.0", "Remove"));
  EXPECT_TRUE(screen->queued.empty());
  EXPECT_TRUE(screen->table->swipeActionsForRow({0, 0}, true).empty()) << "nothing on the leading side";
  EXPECT_EQ(screen->table->inconsistentUpdateCount(), 0u);
}
