#pragma once
// A table: sections of rows from a data source, laid out from the delegate's heights,
// with the cells of the rows inside the viewport taken from a reuse pool.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIContextualAction.h"
#include "uikit/UIIndexPathUpdates.h"
#include "uikit/UIReusePool.h"
#include "uikit/UIScrollView.h"
#include "uikit/UITableViewCell.h"

class UITableView;
class UIRowActionsView;

inline constexpr double UITableViewAutomaticDimension = -1;

enum UITableViewStyle : long { UITableViewStylePlain = 0, UITableViewStyleGrouped = 1, UITableViewStyleInsetGrouped = 2 };
enum UITableViewCellEditingStyle : long {
  UITableViewCellEditingStyleNone = 0,
  UITableViewCellEditingStyleDelete = 1,
  UITableViewCellEditingStyleInsert = 2,
};
enum UITableViewRowAnimation : long {
  UITableViewRowAnimationFade = 0,
  UITableViewRowAnimationRight = 1,
  UITableViewRowAnimationLeft = 2,
  UITableViewRowAnimationTop = 3,
  UITableViewRowAnimationBottom = 4,
  UITableViewRowAnimationNone = 5,
  UITableViewRowAnimationMiddle = 6,
  UITableViewRowAnimationAutomatic = 100,
};
enum UITableViewScrollPosition : long {
  UITableViewScrollPositionNone = 0,
  UITableViewScrollPositionTop = 1,
  UITableViewScrollPositionMiddle = 2,
  UITableViewScrollPositionBottom = 3,
};
enum UITableViewCellSeparatorStyle : long {
  UITableViewCellSeparatorStyleNone = 0,
  UITableViewCellSeparatorStyleSingleLine = 1,
};

class UITableViewDataSource {
 public:
  virtual ~UITableViewDataSource() = default;
  virtual long numberOfSectionsInTableView(UITableView&) { return 1; }
  virtual long tableViewNumberOfRowsInSection(UITableView&, long section) = 0;
  virtual std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath&) = 0;
  virtual std::optional<std::string> tableViewTitleForHeaderInSection(UITableView&, long) { return std::nullopt; }
  virtual std::optional<std::string> tableViewTitleForFooterInSection(UITableView&, long) { return std::nullopt; }
  virtual bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath&) { return true; }
  virtual void tableViewCommitEditingStyle(UITableView&, UITableViewCellEditingStyle, const NSIndexPath&) {}
  virtual std::vector<std::string> sectionIndexTitlesForTableView(UITableView&) { return {}; }
  virtual long tableViewSectionForSectionIndexTitle(UITableView&, const std::string&, long index) { return index; }
};

class UITableViewDelegate : public UIScrollViewDelegate {
 public:
  // The default is the table's rowHeight; UITableViewAutomaticDimension sizes the row at
  // the estimated height (44 when none).
  virtual double tableViewHeightForRowAtIndexPath(UITableView& tableView, const NSIndexPath&);
  virtual double tableViewHeightForHeaderInSection(UITableView& tableView, long section);
  virtual double tableViewHeightForFooterInSection(UITableView& tableView, long section);
  virtual std::shared_ptr<UIView> tableViewViewForHeaderInSection(UITableView&, long) { return nullptr; }
  virtual std::shared_ptr<UIView> tableViewViewForFooterInSection(UITableView&, long) { return nullptr; }
  // Answer nothing to refuse the selection.
  virtual std::optional<NSIndexPath> tableViewWillSelectRowAtIndexPath(UITableView&, const NSIndexPath& p) { return p; }
  virtual void tableViewDidSelectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
  virtual void tableViewDidDeselectRowAtIndexPath(UITableView&, const NSIndexPath&) {}
  virtual bool tableViewShouldHighlightRowAtIndexPath(UITableView&, const NSIndexPath&) { return true; }
  virtual void tableViewWillDisplayCell(UITableView&, UITableViewCell&, const NSIndexPath&) {}
  virtual void tableViewDidEndDisplayingCell(UITableView&, UITableViewCell&, const NSIndexPath&) {}
  virtual void tableViewAccessoryButtonTappedForRowWithIndexPath(UITableView&, const NSIndexPath&) {}
  // Rows offer the swipe-to-delete action only when this answers delete (the default
  // is none).
  virtual UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&, const NSIndexPath&) {
    return UITableViewCellEditingStyleNone;
  }
  virtual std::optional<std::string> tableViewTitleForDeleteConfirmationButtonForRowAtIndexPath(UITableView&,
                                                                                               const NSIndexPath&) {
    return std::nullopt;
  }
  virtual std::vector<std::shared_ptr<UITableViewRowAction>> tableViewEditActionsForRowAtIndexPath(
      UITableView&, const NSIndexPath&) {
    return {};
  }
  virtual std::shared_ptr<UISwipeActionsConfiguration> tableViewTrailingSwipeActionsConfigurationForRowAtIndexPath(
      UITableView&, const NSIndexPath&) {
    return nullptr;
  }
  virtual std::shared_ptr<UISwipeActionsConfiguration> tableViewLeadingSwipeActionsConfigurationForRowAtIndexPath(
      UITableView&, const NSIndexPath&) {
    return nullptr;
  }
  // The edit menu a long press on a row shows: only when this answers yes, with the
  // standard actions ("cut:", "copy:", "paste:", "delete:") that the next one accepts.
  virtual bool tableViewShouldShowMenuForRowAtIndexPath(UITableView&, const NSIndexPath&) { return false; }
  virtual bool tableViewCanPerformAction(UITableView&, const std::string& /*action*/, const NSIndexPath&) {
    return false;
  }
  virtual void tableViewPerformAction(UITableView&, const std::string& /*action*/, const NSIndexPath&) {}
};

// One swipe action or edit-menu action of a row, as a person sees it.
struct UITableViewSwipeAction {
  std::string title;
  bool destructive = false;
  std::function<void()> perform;
  std::optional<UIColor> color;  // the action's own, else the style's
};

// Where a row shows its actions' buttons for a gesture.
enum class UIRowActionsKind {
  Trailing,  // uncovered at the row's right as it slides left, the first action outermost
  Leading,   // at its left as it slides right, likewise
  Menu,      // a bubble held over the row after a long press, the actions in their order
};

class UITableView : public UIScrollView {
 public:
  using CellFactory = std::function<std::shared_ptr<UITableViewCell>(const std::string& reuseIdentifier)>;

  explicit UITableView(CGRect frame = {}, UITableViewStyle style = UITableViewStylePlain);
  ~UITableView() override;

  UITableViewStyle style() const { return style_; }
  UITableViewDataSource* dataSource() const { return dataSource_; }
  void setDataSource(UITableViewDataSource* dataSource);
  UITableViewDelegate* tableDelegate() const { return delegate_; }
  // Also the scroll view's delegate.
  void setTableDelegate(UITableViewDelegate* delegate);

  double rowHeight() const { return rowHeight_; }
  void setRowHeight(double height) { rowHeight_ = height; }
  double estimatedRowHeight() const { return estimatedRowHeight_; }
  void setEstimatedRowHeight(double height) { estimatedRowHeight_ = height; }
  double sectionHeaderHeight() const { return sectionHeaderHeight_; }
  void setSectionHeaderHeight(double height) { sectionHeaderHeight_ = height; }
  double sectionFooterHeight() const { return sectionFooterHeight_; }
  void setSectionFooterHeight(double height) { sectionFooterHeight_ = height; }
  UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
  void setSeparatorStyle(UITableViewCellSeparatorStyle style) { separatorStyle_ = style; }
  const std::optional<UIColor>& separatorColor() const { return separatorColor_; }
  void setSeparatorColor(std::optional<UIColor> color) { separatorColor_ = std::move(color); }
  const std::shared_ptr<UIView>& tableHeaderView() const { return tableHeaderView_; }
  void setTableHeaderView(std::shared_ptr<UIView> view);
  const std::shared_ptr<UIView>& tableFooterView() const { return tableFooterView_; }
  void setTableFooterView(std::shared_ptr<UIView> view);
  const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
  void setBackgroundView(std::shared_ptr<UIView> view) { backgroundView_ = std::move(view); }
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool value) { allowsSelection_ = value; }
  bool allowsMultipleSelection() const { return allowsMultipleSelection_; }
  void setAllowsMultipleSelection(bool value) { allowsMultipleSelection_ = value; }
  bool isEditing() const { return editing_; }
  void setEditing(bool editing, bool animated = false);

  // Cells.
  void registerCellClass(const std::string& identifier, CellFactory factory);
  template <class Cell>
  void registerClass(const std::string& identifier) {
    registerCellClass(identifier, [](const std::string& id) { return std::make_shared<Cell>(UITableViewCellStyleDefault, id); });
  }
  // A cell made from the interface file of that name (UINib).
  void registerNib(const std::string& nibName, const std::string& identifier);
  // A cell from the reuse pool (after prepareForReuse), else a new one from the
  // registration, else nothing.
  std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
  // The same, but never nothing: an unregistered identifier gives a default-style cell
  // (and a log line) where the platform would stop the process.
  std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                    const NSIndexPath& indexPath);
  size_t reusePoolSize(const std::string& identifier) const;

  // Data.
  void reloadData();
  void reloadSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
  void insertSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
  void deleteSections(const std::vector<long>& sections, UITableViewRowAnimation animation);
  void insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
  void deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
  void reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
  void beginUpdates();
  // Applies the collected changes; with none, only the heights are read again.
  void endUpdates();
  void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = {});
  // Changes whose row counts did not match the data source (each fell back to a reload).
  size_t inconsistentUpdateCount() const { return inconsistencies_; }

  long numberOfSections();
  long numberOfRowsInSection(long section);
  CGRect rectForRowAtIndexPath(const NSIndexPath& path);
  CGRect rectForHeaderInSection(long section);
  CGRect rectForFooterInSection(long section);
  std::optional<NSIndexPath> indexPathForRowAtPoint(CGPoint point);
  std::optional<NSIndexPath> indexPathForCell(const UITableViewCell* cell);
  // The cell of a visible row, else nothing.
  std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& path);
  std::vector<std::shared_ptr<UITableViewCell>> visibleCells();
  std::vector<NSIndexPath> indexPathsForVisibleRows();
  std::shared_ptr<UIView> headerViewForSection(long section);
  std::optional<std::string> headerTitleForSection(long section);
  std::optional<std::string> footerTitleForSection(long section);
  void scrollToRowAtIndexPath(const NSIndexPath& path, UITableViewScrollPosition position, bool animated);

  // Selection.
  void selectRowAtIndexPath(const std::optional<NSIndexPath>& path, bool animated, UITableViewScrollPosition position);
  void deselectRowAtIndexPath(const NSIndexPath& path, bool animated);
  std::optional<NSIndexPath> indexPathForSelectedRow() const;
  std::vector<NSIndexPath> indexPathsForSelectedRows() const;

  // What a person does.
  bool selectRowByUser(const NSIndexPath& path);
  bool tapAccessoryByUser(const NSIndexPath& path);
  std::vector<UITableViewSwipeAction> swipeActionsForRow(const NSIndexPath& path, bool leading = false);
  bool performSwipeActionByUser(const NSIndexPath& path, const std::string& title, bool leading = false);
  // The edit menu's actions ("Copy", ...), empty when the row shows no menu.
  std::vector<UITableViewSwipeAction> menuActionsForRow(const NSIndexPath& path);
  bool performMenuActionByUser(const NSIndexPath& path, const std::string& title);
  // A row slid sideways by a person's pointer, `shift` points from its place: to the left
  // (negative) it uncovers the row's trailing actions as buttons at its right, to the
  // right its leading ones. Answers false, the row in its place, when it offers nothing
  // that way.
  bool slideRowByUser(const NSIndexPath& path, double shift);
  // The slide let go: the actions stay uncovered when half of them show, else the row
  // goes back.
  void endSlideByUser();
  // All of the row's actions that way uncovered at once (a sideways wheel).
  bool openSwipeActionsByUser(const NSIndexPath& path, bool leading);
  // The row slid aside, and how far; nothing when every row is in its place.
  std::optional<NSIndexPath> slidRow() const;
  double slidRowShift() const;
  // Puts a slid row back; its buttons go.
  void closeSwipeActions(bool animated = false);
  // The row's edit menu shown over it, its actions as buttons (a held press); false when
  // the row has none.
  bool showMenuForRowByUser(const NSIndexPath& path);
  bool isShowingMenu() const { return menu_.view != nullptr; }
  void hideMenu();
  // The buttons a gesture shows over or beside a row now (the menu first), else nothing.
  UIView* rowActionsView() const;

  void layoutSubviews() override;
  bool appendScreenText(std::vector<std::string>& lines) const override;
  // A screen's text numbers the sections of its tables one after another, in the order
  // it prints them, so that each printed "S.R" names one row of one table. Between these
  // two calls the tables printed are so numbered; the table keeps where its numbers began
  // and in which printing.
  static void beginScreenNumbering();
  static void endScreenNumbering();
  static uint64_t lastScreenNumbering();
  long printedSectionBase() const { return printedSectionBase_; }
  uint64_t printedInNumbering() const { return printedInNumbering_; }

 protected:
  void contentOffsetDidChange() override;
  // Every layout pass comes here: a page that scrolled, or a card that moved, may have
  // brought other rows of the table on screen.
  void safeAreaInsetsMayHaveChanged() override;

 private:
  struct Section {
    long rows = 0;
    double top = 0;
    double headerHeight = 0, footerHeight = 0;
    std::vector<double> rowTops, rowHeights;
  };
  mutable long printedSectionBase_ = 0;
  mutable uint64_t printedInNumbering_ = 0;
  // The delegate, else one that answers every question with the defaults.
  UITableViewDelegate& effectiveDelegate() const;
  void ensureLoaded();
  void computeLayout();
  void updateVisibleCells();
  using PlacedCells = std::vector<std::pair<NSIndexPath, std::shared_ptr<UITableViewCell>>>;
  // Puts the cells back in the reuse pool, all at once.
  void retireCells(const PlacedCells& cells);
  void applyRowChanges();
  double viewportHeight() const;
  // The part of the content a person can see, top and bottom in the table's own
  // coordinates: its bounds, cut by every scroll view it lies in (a table sized to all
  // its rows inside a page that scrolls shows only what the page shows) and the window.
  std::pair<double, double> visibleSpan() const;
  // Puts the slid row and its buttons, and the menu, where the row is now; a row that
  // left the screen takes them with it.
  void placeRowGestures();
  // A view of buttons for the row's actions, in the table.
  std::shared_ptr<UIRowActionsView> makeRowActionsView(UIRowActionsKind kind, std::vector<UITableViewSwipeAction> actions);
  // Moves the slid row to `shift` over a moment; back at its place, its buttons go.
  void snapSlidRow(double shift);
  // Whether the table has a row at `path` now.
  bool hasRow(const NSIndexPath& path) { return path.row >= 0 && path.row < numberOfRowsInSection(path.section); }

  UITableViewStyle style_;
  UITableViewDataSource* dataSource_ = nullptr;
  UITableViewDelegate* delegate_ = nullptr;
  double rowHeight_ = 44, estimatedRowHeight_ = UITableViewAutomaticDimension;
  double sectionHeaderHeight_ = UITableViewAutomaticDimension, sectionFooterHeight_ = UITableViewAutomaticDimension;
  UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
  std::optional<UIColor> separatorColor_;
  std::shared_ptr<UIView> tableHeaderView_, tableFooterView_, backgroundView_;
  bool allowsSelection_ = true, allowsMultipleSelection_ = false, editing_ = false;
  UIReusePool<UITableViewCell> pool_;
  std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
  std::map<long, std::shared_ptr<UIView>> headerViews_;
  std::vector<NSIndexPath> selected_;
  std::vector<Section> sections_;
  std::pair<double, double> shownSpan_;  // the span the visible cells were chosen for
  bool needsReload_ = true;
  bool updating_ = false;
  int updateDepth_ = 0;
  UIIndexPathUpdates pending_;
  size_t inconsistencies_ = 0;
  // A row a person's gesture moved or covered, and the buttons it shows.
  struct RowGesture {
    NSIndexPath path;
    double shift = 0;
    std::shared_ptr<UIRowActionsView> view;
  };
  RowGesture slid_, menu_;
};
