// A search controller as a person uses it: typing into the bar in the navigation bar
// starts the search, the results screen follows the text, Cancel ends it.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UISearchController.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UITableView.h"

namespace {
using Log = std::vector<std::string>;

class Results : public UIViewController, public UITableViewDataSource {
 public:
  std::vector<std::string> shown;
  std::shared_ptr<UITableView> table;
  void viewDidLoad() override {
    table = std::make_shared<UITableView>(view()->bounds());
    table->registerClass<UITableViewCell>("cell");
    table->setDataSource(this);
    view()->addSubview(table);
  }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(shown.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    auto cell = t.dequeueReusableCellWithIdentifier("cell", p);
    cell->textLabel()->setText(shown[size_t(p.row)]);
    return cell;
  }
};

class Packages : public UIViewController, public UISearchResultsUpdating, public UISearchControllerDelegate {
 public:
  std::vector<std::string> all{"Activator", "Kelvin", "Keyboard Plus", "Snowboard"};
  std::shared_ptr<Results> results = std::make_shared<Results>();
  std::shared_ptr<UISearchController> search = std::make_shared<UISearchController>(results);
  Log calls;
  std::shared_ptr<UISegmentedControl> scope = std::make_shared<UISegmentedControl>(std::vector<std::string>{"Exact", "Fuzzy"});
  void viewDidLoad() override {
    setTitle("Packages");
    search->setSearchResultsUpdater(this);
    search->setDelegate(this);
    search->searchBar()->setPlaceholder("Search packages");
    navigationItem().setSearchController(search);
    scope->setSelectedSegmentIndex(0);
    navigationItem().setTitleView(scope);
  }
  void updateSearchResultsForSearchController(UISearchController& c) override {
    std::string text = c.searchBar()->text();
    calls.push_back("update \"" + text + "\"");
    results->loadViewIfNeeded();
    results->shown.clear();
    for (auto& name : all)
      if (!text.empty() && name.find(text) != std::string::npos) results->shown.push_back(name);
    results->table->reloadData();
  }
  void willPresentSearchController(UISearchController&) override { calls.push_back("willPresent"); }
  void didPresentSearchController(UISearchController&) override { calls.push_back("didPresent"); }
  void willDismissSearchController(UISearchController&) override { calls.push_back("willDismiss"); }
  void didDismissSearchController(UISearchController&) override { calls.push_back("didDismiss"); }
};

class SearchControllerTest : public ::testing::Test {
 protected:
  void SetUp() override { ui.show(std::make_shared<UINavigationController>(screen)); }
  UIDriver ui;
  std::shared_ptr<Packages> screen = std::make_shared<Packages>();
};
}  // namespace

TEST_F(SearchControllerTest, TypingSearchesAndCancelEnds) {
  EXPECT_TRUE(ui.screenShows("title: Packages\nbar: segments: (Exact) Fuzzy\nsearch \"Search packages\": \n")) << ui.screen();
  ASSERT_TRUE(ui.type("Ke"));
  EXPECT_TRUE(screen->search->isActive());
  EXPECT_EQ(ui.front(), screen->search.get());
  EXPECT_EQ(screen->calls, (Log{"willPresent", "update \"\"", "update \"Ke\"", "didPresent"}));
  std::string shown = ui.screen();
  EXPECT_NE(shown.find("search \"Search packages\": Ke_  [Cancel]\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("  0.0: Kelvin\n  0.1: Keyboard Plus\n"), std::string::npos) << shown;
  ASSERT_TRUE(ui.type("y"));
  EXPECT_EQ(screen->results->shown, (std::vector<std::string>{"Keyboard Plus"}));
  // The window's delete key takes the last letter off the bar, and the search follows.
  ASSERT_TRUE(UIInteraction::eraseBackward());
  EXPECT_EQ(screen->search->searchBar()->text(), "Ke");
  EXPECT_TRUE(screen->search->isActive());
  EXPECT_EQ(screen->results->shown, (std::vector<std::string>{"Kelvin", "Keyboard Plus"}));
  ASSERT_TRUE(ui.type("y"));
  ASSERT_TRUE(ui.tap("Keyboard Plus")) << "the results are rows a person taps";

  screen->calls.clear();
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_FALSE(screen->search->isActive());
  EXPECT_EQ(screen->search->searchBar()->text(), "");
  EXPECT_EQ(ui.front(), screen.get());
  EXPECT_EQ(screen->calls, (Log{"willDismiss", "update \"\"", "didDismiss"}));
  EXPECT_TRUE(ui.screenShows("search \"Search packages\": \n")) << "the bar is back in the navigation bar";
}

TEST_F(SearchControllerTest, TappingTheBarDimsTheScreenUntilThereIsText) {
  ASSERT_TRUE(ui.tap("Search packages"));
  ASSERT_TRUE(screen->search->isActive());
  EXPECT_TRUE(screen->search->searchBar()->isEditing());
  EXPECT_TRUE(screen->results->view()->isHidden()) << "no text yet: the screen below is dimmed instead";
  ASSERT_TRUE(ui.type("board"));
  EXPECT_FALSE(screen->results->view()->isHidden());
  EXPECT_EQ(screen->results->shown, (std::vector<std::string>{"Keyboard Plus", "Snowboard"}));
  screen->search->setActive(false);
  ui.runUntilIdle();
  EXPECT_EQ(ui.front(), screen.get());
  EXPECT_EQ(screen->search->searchBar()->text(), "board") << "only Cancel clears the text";
  screen->search->setShowsSearchResultsController(true);
  screen->search->searchBar()->setText("");
  ASSERT_TRUE(ui.tap("Search packages"));
  EXPECT_FALSE(screen->results->view()->isHidden()) << "shown even while empty when asked";
}

TEST_F(SearchControllerTest, TheNavigationTitleViewIsThereToTap) {
  EXPECT_TRUE(ui.screenShows("bar: segments: (Exact) Fuzzy\n")) << ui.screen();
  ASSERT_TRUE(ui.tap("Fuzzy"));
  EXPECT_EQ(screen->scope->selectedSegmentIndex(), 1);
}

namespace {
// A search bar that sits in a screen's own views (a table header) rather than the
// navigation bar.
class Directory : public UIViewController {
 public:
  std::shared_ptr<UISearchController> search = std::make_shared<UISearchController>();
  void viewDidLoad() override { view()->addSubview(search->searchBarShared()); }
};
}  // namespace

TEST(SearchControllerPlacementTest, ABarInTheScreensViewsComesBackToItsPlace) {
  UIDriver ui;
  auto screen = std::make_shared<Directory>();
  ui.show(screen);
  ASSERT_TRUE(ui.type("repo"));
  EXPECT_EQ(ui.front(), screen->search.get());
  EXPECT_NE(screen->search->searchBar()->superview(), screen->view().get());
  ASSERT_TRUE(ui.close()) << "closing is the Cancel button";
  EXPECT_EQ(ui.front(), screen.get());
  EXPECT_EQ(screen->search->searchBar()->superview(), screen->view().get());
}
