// Cells, headers and screens made from interface files by name, and a search bar with
// its scope control in the navigation bar as the search tab uses them.
#include <gtest/gtest.h>

#include "support/UIDriver.h"
#include "uikit/UICollectionView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UINib.h"
#include "uikit/UISearchBar.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UITableView.h"

namespace {
int gAwoken = 0;

class NameLabel : public UILabel {
 public:
  void awakeFromNib() override { ++gAwoken; }
};

// "SearchCell": a row with a name label, awoken once it is built.
class SearchCell : public UITableViewCell {
 public:
  SearchCell() : UITableViewCell(UITableViewCellStyleDefault, "") {
    name = std::make_shared<NameLabel>();
    contentView()->addSubview(name);
  }
  void awakeFromNib() override { awoken = true; }
  std::shared_ptr<NameLabel> name;
  bool awoken = false;
};

class HeaderView : public UICollectionReusableView {
 public:
  HeaderView() {
    title = std::make_shared<UILabel>();
    addSubview(title);
  }
  std::shared_ptr<UILabel> title;
};

class Nibs : public ::testing::Test {
 protected:
  void SetUp() override {
    gAwoken = 0;
    UINib::registerView("SearchCell", [] { return std::make_shared<SearchCell>(); });
    UINib::registerView("HeaderView", [] { return std::make_shared<HeaderView>(); });
  }
  void TearDown() override { UINib::unregisterAll(); }
  UIDriver ui;
};

class Developers : public UIViewController, public UITableViewDataSource {
 public:
  std::shared_ptr<UITableView> table = std::make_shared<UITableView>(CGRect::make(0, 0, 375, 300));
  void viewDidLoad() override {
    table->registerNib("SearchCell", "searchCell");
    table->registerNib("NoSuchFile", "missing");
    table->setDataSource(this);
    view()->addSubview(table);
  }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return 2; }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& t, const NSIndexPath& p) override {
    if (p.row == 1) {
      auto plain = t.dequeueReusableCellWithIdentifier("missing", p);
      plain->textLabel()->setText("fallback");
      return plain;
    }
    auto cell = std::static_pointer_cast<SearchCell>(t.dequeueReusableCellWithIdentifier("searchCell", p));
    cell->name->setText("SparkDev");
    return cell;
  }
};
}  // namespace

TEST_F(Nibs, CellsFromInterfaceFilesAreAwokenAndUnknownFilesFallBack) {
  auto screen = std::make_shared<Developers>();
  ui.show(screen);
  auto cell = std::dynamic_pointer_cast<SearchCell>(screen->table->cellForRowAtIndexPath({0, 0}));
  ASSERT_TRUE(cell);
  EXPECT_TRUE(cell->awoken);
  EXPECT_EQ(gAwoken, 1) << "the subviews of the file are awoken too";
  EXPECT_EQ(cell->reuseIdentifier(), "searchCell");
  EXPECT_TRUE(ui.screenShows("  0.0: SparkDev\n  0.1: fallback\n")) << "an unknown file gives a plain cell, not a crash";
  EXPECT_FALSE(UINib::instantiateView("NoSuchFile"));
  EXPECT_TRUE(UINib::hasFile("SearchCell"));
}

TEST_F(Nibs, CollectionHeadersFromAnInterfaceFile) {
  struct Grid : UIViewController, UICollectionViewDataSource {
    std::shared_ptr<UICollectionView> grid;
    void viewDidLoad() override {
      UICollectionViewFlowLayout layout;
      layout.headerReferenceSize = {0, 30};
      grid = std::make_shared<UICollectionView>(CGRect::make(0, 0, 375, 400), layout);
      grid->registerClass<UICollectionViewCell>("cell");
      grid->registerNibForSupplementaryViewOfKind("HeaderView", UICollectionElementKindSectionHeader, "header");
      grid->setDataSource(this);
      view()->addSubview(grid);
    }
    long collectionViewNumberOfItemsInSection(UICollectionView&, long) override { return 1; }
    std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& c, const NSIndexPath& p) override {
      return c.dequeueReusableCellWithReuseIdentifier("cell", p);
    }
    std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
        UICollectionView& c, const std::string& kind, const NSIndexPath& p) override {
      auto header = std::static_pointer_cast<HeaderView>(c.dequeueReusableSupplementaryViewOfKind(kind, "header", p));
      header->title->setText("Featured");
      return header;
    }
  };
  auto screen = std::make_shared<Grid>();
  ui.show(screen);
  EXPECT_TRUE(ui.screenShows("  -- Featured --\n")) << ui.screen();
}

namespace {
// The search tab's bar: editing shows Cancel and the scope control as the title view;
// ending the edit puts the bar buttons back.
class SearchTab : public UIViewController, public UISearchBarDelegate {
 public:
  std::shared_ptr<UISearchBar> bar = std::make_shared<UISearchBar>();
  std::shared_ptr<UISegmentedControl> scope = std::make_shared<UISegmentedControl>(std::vector<std::string>{"Exact", "Fuzzy"});
  std::vector<std::string> log;
  bool mayEnd = true;
  void viewDidLoad() override {
    setTitle("Search");
    bar->setPlaceholder("Packages, developers, sources");
    bar->setDelegate(this);
    view()->addSubview(bar);
    scope->setSelectedSegmentIndex(0);
  }
  bool searchBarShouldBeginEditing(UISearchBar& b) override {
    navigationItem().setTitleView(scope);
    b.setShowsCancelButton(true, true);
    return true;
  }
  bool searchBarShouldEndEditing(UISearchBar& b) override {
    if (!mayEnd) return false;
    navigationItem().setTitleView(nullptr);
    b.setShowsCancelButton(false, true);
    return true;
  }
  void searchBarTextDidChange(UISearchBar&, const std::string& text) override { log.push_back("text " + text); }
  void searchBarCancelButtonClicked(UISearchBar& b) override {
    b.setText("");
    b.resignFirstResponder();
    log.push_back("cancel");
  }
  void searchBarSearchButtonClicked(UISearchBar& b) override {
    log.push_back("search " + b.text());
    b.resignFirstResponder();
  }
};
}  // namespace

TEST(SearchBarTest, EditingShowsTheScopeAndCancelEndsIt) {
  UIDriver ui;
  auto tab = std::make_shared<SearchTab>();
  ui.show(std::make_shared<UINavigationController>(tab));
  ASSERT_TRUE(ui.type("sno"));
  EXPECT_TRUE(tab->bar->isEditing());
  EXPECT_TRUE(ui.screenShows("bar: segments: (Exact) Fuzzy\n")) << ui.screen();
  ASSERT_TRUE(ui.tap("Fuzzy"));
  EXPECT_EQ(tab->scope->selectedSegmentIndex(), 1);
  ASSERT_TRUE(ui.submit());
  EXPECT_FALSE(tab->bar->isEditing());
  ASSERT_TRUE(ui.tap("Packages, developers, sources"));
  tab->mayEnd = false;
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_TRUE(tab->bar->isEditing()) << "the delegate kept the edit going";
  tab->mayEnd = true;
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_FALSE(tab->bar->isEditing());
  EXPECT_FALSE(ui.screenShows("segments:"));
  EXPECT_EQ(tab->log, (std::vector<std::string>{"text sno", "search sno", "cancel", "cancel"}));
}
