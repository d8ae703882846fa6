// Cells from the reuse pool, visible rows from the viewport, and row changes.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwitch.h"
#include "uikit/UITableView.h"

namespace {
class CountingCell : public UITableViewCell {
 public:
  CountingCell(UITableViewCellStyle style, const std::string& id) : UITableViewCell(style, id) { ++made; }
  void prepareForReuse() override {
    ++prepared;
    textLabel()->setText("");
  }
  static inline int made = 0;
  int prepared = 0;
};

class Rows : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  std::vector<std::string> rows;
  std::vector<std::string> selected;
  std::shared_ptr<UITableView> table;
  void loadView() override {
    table = std::make_shared<UITableView>(CGRect::make(0, 0, 375, 440));
    table->registerClass<CountingCell>("cell");
    table->setDataSource(this);
    table->setTableDelegate(this);
    UIViewController::loadView();
    view()->addSubview(table);
  }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(rows.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    auto cell = t.dequeueReusableCellWithIdentifier("cell", p);
    cell->textLabel()->setText(rows[size_t(p.row)]);
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    return cell;
  }
  std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long) override { return "Packages"; }
  void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath& p) override { selected.push_back(rows[size_t(p.row)]); }
  UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&, const NSIndexPath&) override {
    return UITableViewCellEditingStyleDelete;
  }
  void tableViewCommitEditingStyle(UITableView& t, UITableViewCellEditingStyle, const NSIndexPath& p) override {
    rows.erase(rows.begin() + p.row);
    t.deleteRowsAtIndexPaths({p}, UITableViewRowAnimationFade);
  }
  // A copy menu on the even rows only.
  bool tableViewShouldShowMenuForRowAtIndexPath(UITableView&, const NSIndexPath& p) override { return p.row % 2 == 0; }
  bool tableViewCanPerformAction(UITableView&, const std::string& action, const NSIndexPath&) override {
    return action == "copy:";
  }
  void tableViewPerformAction(UITableView&, const std::string& action, const NSIndexPath& p) override {
    if (action == "copy:") UIPasteboard::generalPasteboard().setString(rows[size_t(p.row)]);
  }
};

class TableViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CountingCell::made = 0;
    for (int i = 0; i < 100; ++i) screen->rows.push_back("Row " + std::to_string(i));
    ui.show(screen);
  }
  UIDriver ui;
  std::shared_ptr<Rows> screen = std::make_shared<Rows>();
};

TEST_F(TableViewTest, OnlyTheRowsInTheViewportHaveCells) {
  auto visible = screen->table->indexPathsForVisibleRows();
  // 440 points: a 28-point header, then 44-point rows from y 28 to 440 (rows 0-9).
  ASSERT_EQ(visible.size(), 10u);
  EXPECT_EQ(visible.front(), (NSIndexPath{0, 0}));
  EXPECT_EQ(visible.back(), (NSIndexPath{0, 9}));
  EXPECT_EQ(CountingCell::made, 10);
  EXPECT_EQ(screen->table->contentSize().height, 28 + 100 * 44);
  EXPECT_TRUE(ui.screenShows("  -- Packages --\n  0.0: Row 0 | | >\n"));
}

TEST_F(TableViewTest, ScrollingReusesTheCellsThatLeftTheScreen) {
  std::set<UITableViewCell*> first;
  for (auto& c : screen->table->visibleCells()) first.insert(c.get());
  ASSERT_TRUE(ui.scroll("0.50"));
  auto visible = screen->table->indexPathsForVisibleRows();
  EXPECT_EQ(visible.front(), (NSIndexPath{0, 50}));
  EXPECT_EQ(CountingCell::made, 10) << "no new cell: every one came from the pool";
  for (auto& c : screen->table->visibleCells()) {
    EXPECT_TRUE(first.count(c.get()));
    EXPECT_EQ(static_cast<CountingCell*>(c.get())->prepared, 1) << "prepared once before its reuse";
  }
  EXPECT_EQ(screen->table->cellForRowAtIndexPath({0, 0}), nullptr);
  EXPECT_TRUE(ui.screenShows("0.50: Row 50"));
}

// A table that does not scroll by itself, sized to all its rows inside a page that does
// (the manage tab's sources card): cells for what the page shows, however many rows.
class PagedRows : public Rows {
 public:
  std::shared_ptr<UIScrollView> page;
  void loadView() override {
    Rows::loadView();
    page = std::make_shared<UIScrollView>(UIScreen::mainScreen().bounds());
    view()->addSubview(page);
    page->addSubview(table);
    table->setFrame(CGRect::make(0, 100, 375, 28 + double(rows.size()) * 44));
    page->setContentSize({375, 100 + table->frame().height()});
  }
};

TEST(NestedTableViewTest, ATableSizedToAllItsRowsInAPageThatScrollsMakesCellsOnlyForWhatThePageShows) {
  UIDriver ui;
  CountingCell::made = 0;
  auto screen = std::make_shared<PagedRows>();
  for (int i = 0; i < 200000; ++i) screen->rows.push_back("Row " + std::to_string(i));
  ui.show(screen);
  const int onScreen = int(UIScreen::mainScreen().bounds().height() / 44) + 2;
  EXPECT_TRUE(ui.screenShows("table: 200000 rows, showing 0.0-0.")) << ui.screen();
  EXPECT_LE(CountingCell::made, onScreen);
  EXPECT_EQ(screen->table->cellForRowAtIndexPath({0, 100}), nullptr);

  // The page, not the table, moves: the rows it brings get the cells that left.
  screen->page->setContentOffset({0, 100 + 28 + 100000 * 44});
  EXPECT_TRUE(ui.screenShows("  0.100000: Row 100000 | | >\n")) << ui.screen();
  EXPECT_EQ(screen->table->cellForRowAtIndexPath({0, 0}), nullptr);
  screen->table->reloadData();
  EXPECT_TRUE(ui.screenShows("0.100001: Row 100001"));
  EXPECT_LE(CountingCell::made, 2 * onScreen);
  EXPECT_EQ(screen->table->visibleCells().size() + screen->table->reusePoolSize("cell"), size_t(CountingCell::made));
}

TEST_F(TableViewTest, TappingARowAndSwipingItsDeleteAction) {
  EXPECT_TRUE(ui.tap("Row 3"));
  EXPECT_TRUE(ui.tap("0.4"));
  EXPECT_EQ(screen->selected, (std::vector<std::string>{"Row 3", "Row 4"}));
  EXPECT_EQ(screen->table->indexPathForSelectedRow(), (NSIndexPath{0, 4}));

  auto cellOfRow5 = screen->table->cellForRowAtIndexPath({0, 5});
  EXPECT_TRUE(ui.swipeRow("0.2", "Delete"));
  EXPECT_EQ(screen->rows.size(), 99u);
  EXPECT_EQ(screen->table->cellForRowAtIndexPath({0, 4}), cellOfRow5) << "rows below move up with their cells";
  EXPECT_EQ(screen->table->indexPathForSelectedRow(), (NSIndexPath{0, 3})) << "the selection moves with its row";
  EXPECT_TRUE(ui.screenShows("0.2: Row 3"));
  EXPECT_FALSE(ui.swipeRow("0.2", "Archive"));
  EXPECT_EQ(screen->table->inconsistentUpdateCount(), 0u);
}

// A screen of two tables numbers the second one's sections after the first one's: each
// printed "S.R" names one row, which a tap, a swipe or a long press by it reaches.
TEST(TwoTablesTest, EachPrintedRowNumberNamesOneRowOfOneTable) {
  UIDriver ui;
  auto installed = std::make_shared<Rows>(), sources = std::make_shared<Rows>();
  installed->rows = {"Tool", "Library"};
  sources->rows = {"Repo A", "Repo B", "Repo C"};
  auto screen = std::make_shared<UIViewController>();
  ui.show(screen);
  for (auto& rows : {installed, sources}) screen->view()->addSubview(rows->view()->subviews().front());
  sources->table->setFrame(CGRect::make(0, 300, 375, 300));
  ui.runUntilIdle();
  EXPECT_TRUE(ui.screenShows("  0.1: Library | | >\n")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("  1.2: Repo C | | >\n")) << ui.screen();
  EXPECT_TRUE(ui.tap("1.2"));
  EXPECT_TRUE(ui.tap("0.1"));
  EXPECT_EQ(sources->selected, std::vector<std::string>{"Repo C"});
  EXPECT_EQ(installed->selected, std::vector<std::string>{"Library"});
  EXPECT_TRUE(ui.swipeRow("1.0", "Delete"));
  EXPECT_EQ(sources->rows, (std::vector<std::string>{"Repo B", "Repo C"}));
  EXPECT_EQ(installed->rows.size(), 2u) << "the other table's row 0 is untouched";
  EXPECT_FALSE(ui.tap("1.2")) << "that row went";
}

TEST_F(TableViewTest, InsertsInABatchAndAMismatchFallsBackToAReload) {
  screen->table->beginUpdates();
  screen->rows.insert(screen->rows.begin(), "New A");
  screen->rows.insert(screen->rows.begin() + 2, "New B");
  screen->table->insertRowsAtIndexPaths({{0, 0}, {0, 2}}, UITableViewRowAnimationAutomatic);
  screen->table->endUpdates();
  EXPECT_TRUE(ui.screenShows("0.0: New A | | >\n  0.1: Row 0 | | >\n  0.2: New B"));
  EXPECT_EQ(screen->table->inconsistentUpdateCount(), 0u);

  screen->rows.push_back("Unannounced");
  screen->rows.push_back("Also unannounced");
  screen->table->insertRowsAtIndexPaths({{0, 102}}, UITableViewRowAnimationAutomatic);  // two rows came, one announced
  EXPECT_EQ(screen->table->inconsistentUpdateCount(), 1u);
  EXPECT_EQ(screen->table->numberOfRowsInSection(0), 104);
}

TEST_F(TableViewTest, ReloadRowsAsksTheDataSourceAgain) {
  screen->rows[1] = "Changed";
  screen->table->reloadRowsAtIndexPaths({{0, 1}}, UITableViewRowAnimationNone);
  EXPECT_EQ(screen->table->cellForRowAtIndexPath({0, 1})->textLabel()->text(), "Changed");
  screen->rows.clear();
  screen->table->reloadData();
  EXPECT_TRUE(screen->table->visibleCells().empty());
  EXPECT_EQ(screen->table->reusePoolSize("cell"), 10u);
}
TEST_F(TableViewTest, TheRowMenuOffersOnlyWhatTheDelegateAccepts) {
  auto actions = screen->table->menuActionsForRow({0, 2});
  ASSERT_EQ(actions.size(), 1u);
  EXPECT_EQ(actions[0].title, "Copy");
  EXPECT_TRUE(ui.menuRow("Row 2", "Copy"));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "Row 2");
  EXPECT_TRUE(screen->table->menuActionsForRow({0, 3}).empty()) << "odd rows show no menu";
  auto refused = ui.menuRow("0.3", "Copy");
  EXPECT_FALSE(refused);
  EXPECT_EQ(refused.message, "row 0.3 has no menu");
  EXPECT_FALSE(ui.menuRow("0.4", "Paste"));
  EXPECT_TRUE(screen->table->menuActionsForRow({0, 500}).empty());
}

// A person's pointer slides a row aside: its actions show as buttons beside it, stay
// when half of them shows, and a tap on one runs it; a held row shows its menu likewise.
TEST_F(TableViewTest, ARowSlidAsideShowsItsActionsAsButtonsAndAHeldRowItsMenu) {
  UITableView& table = *screen->table;
  auto row2 = table.cellForRowAtIndexPath({0, 2});
  ASSERT_TRUE(table.slideRowByUser({0, 2}, -30));
  EXPECT_DOUBLE_EQ(row2->frame().minX(), -30);
  ASSERT_NE(table.rowActionsView(), nullptr);
  EXPECT_EQ(table.rowActionsView()->frame(), CGRect::make(345, 116, 30, 44)) << "uncovered at the row's right";
  EXPECT_TRUE(ui.screenShows("0.2: Row 2 | | >  [Delete]"));
  table.endSlideByUser();  // less than half of the button: back in place
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), std::nullopt);
  EXPECT_DOUBLE_EQ(row2->frame().minX(), 0);
  EXPECT_EQ(table.rowActionsView(), nullptr);

  EXPECT_FALSE(table.slideRowByUser({0, 2}, 40)) << "no actions at its left";
  EXPECT_DOUBLE_EQ(row2->frame().minX(), 0);
  ASSERT_TRUE(table.slideRowByUser({0, 2}, -50));
  table.endSlideByUser();
  ui.runUntilIdle();
  EXPECT_EQ(table.slidRow(), (NSIndexPath{0, 2}));
  EXPECT_DOUBLE_EQ(table.slidRowShift(), -74) << "the whole button";
  table.reloadData();
  EXPECT_EQ(table.slidRow(), std::nullopt) << "a reload puts the row back";
  ASSERT_TRUE(table.openSwipeActionsByUser({0, 2}, false));
  ui.runUntilIdle();
  EXPECT_TRUE(ui.tap("Delete"));
  EXPECT_EQ(screen->rows.size(), 99u);
  EXPECT_TRUE(ui.screenShows("0.2: Row 3 | | >\n"));
  EXPECT_EQ(table.rowActionsView(), nullptr);

  EXPECT_FALSE(table.showMenuForRowByUser({0, 3})) << "odd rows have no menu";
  ASSERT_TRUE(table.showMenuForRowByUser({0, 4}));
  EXPECT_TRUE(ui.screenShows("0.4: Row 5 | | >  [Copy]"));
  EXPECT_TRUE(ui.tap("Copy"));
  EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "Row 5");
  EXPECT_FALSE(table.isShowingMenu());
}
}  // namespace
