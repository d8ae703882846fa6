#include "uikit/UITableView.h"

#include <algorithm>
#include <set>

#include "foundation/Log.h"
#include "uikit/UINib.h"
#include "uikit/UIRowActionsView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenText.h"
#include "uikit/UIScreenTextFormat.h"

double UITableViewDelegate::tableViewHeightForRowAtIndexPath(UITableView& t, const NSIndexPath&) {
  return t.rowHeight();
}
double UITableViewDelegate::tableViewHeightForHeaderInSection(UITableView& t, long section) {
  if (t.sectionHeaderHeight() >= 0) return t.sectionHeaderHeight();
  bool has = t.headerTitleForSection(section).has_value() || tableViewViewForHeaderInSection(t, section) != nullptr;
  return has ? (t.style() == UITableViewStylePlain ? 28 : 38) : (t.style() == UITableViewStylePlain ? 0 : 18);
}
double UITableViewDelegate::tableViewHeightForFooterInSection(UITableView& t, long section) {
  if (t.sectionFooterHeight() >= 0) return t.sectionFooterHeight();
  bool has = t.footerTitleForSection(section).has_value() || tableViewViewForFooterInSection(t, section) != nullptr;
  return has ? (t.style() == UITableViewStylePlain ? 28 : 38) : (t.style() == UITableViewStylePlain ? 0 : 18);
}

UITableViewDelegate& UITableView::effectiveDelegate() const {
  static UITableViewDelegate fallback;
  return delegate_ ? *delegate_ : fallback;
}

UITableView::UITableView(CGRect frame, UITableViewStyle style) : UIScrollView(frame), style_(style) {}
UITableView::~UITableView() = default;

void UITableView::setDataSource(UITableViewDataSource* dataSource) {
  dataSource_ = dataSource;
  reloadData();
}

void UITableView::setTableDelegate(UITableViewDelegate* delegate) {
  delegate_ = delegate;
  setDelegate(delegate);
  reloadData();
}

void UITableView::setTableHeaderView(std::shared_ptr<UIView> view) {
  UI_MAIN_THREAD_ONLY();
  if (tableHeaderView_) tableHeaderView_->removeFromSuperview();
  tableHeaderView_ = std::move(view);
  if (tableHeaderView_) addSubview(tableHeaderView_);
  reloadData();
}

void UITableView::setTableFooterView(std::shared_ptr<UIView> view) {
  UI_MAIN_THREAD_ONLY();
  if (tableFooterView_) tableFooterView_->removeFromSuperview();
  tableFooterView_ = std::move(view);
  if (tableFooterView_) addSubview(tableFooterView_);
  reloadData();
}

void UITableView::setEditing(bool editing, bool animated) {
  UI_MAIN_THREAD_ONLY();
  if (animated) recordAnimation({"animation", 0.3, 0, 0, 0, 0, true});
  editing_ = editing;
  for (auto& [path, cell] : visible_) cell->setEditing(editing, animated);
}

void UITableView::registerCellClass(const std::string& identifier, CellFactory factory) {
  pool_.registerFactory(identifier, std::move(factory));
}

void UITableView::registerNib(const std::string& nibName, const std::string& identifier) {
  registerCellClass(identifier, [nibName](const std::string& id) -> std::shared_ptr<UITableViewCell> {
    auto cell = std::dynamic_pointer_cast<UITableViewCell>(UINib::instantiateView(nibName));
    if (!cell) {
      KVLog("no table cell in the interface file %s", nibName.c_str());
      return nullptr;
    }
    cell->setReuseIdentifier(id);
    return cell;
  });
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier) {
  return pool_.dequeue(identifier);
}

std::shared_ptr<UITableViewCell> UITableView::dequeueReusableCellWithIdentifier(const std::string& identifier,
                                                                                const NSIndexPath& indexPath) {
  if (auto cell = dequeueReusableCellWithIdentifier(identifier)) return cell;
  KVLog("no cell registered for the identifier %s (row %s)", identifier.c_str(), indexPath.description().c_str());
  return std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, identifier);
}

size_t UITableView::reusePoolSize(const std::string& identifier) const { return pool_.size(identifier); }

double UITableView::viewportHeight() const {
  double h = bounds().height();
  return h > 0 ? h : UIScreen::mainScreen().bounds().height();
}

std::pair<double, double> UITableView::visibleSpan() const {
  double top = contentOffset().y, bottom = top + viewportHeight();
  double shift = 0;  // from the table's coordinates to those of the view reached
  for (const UIView* v = this; const UIView* parent = v->superview(); v = parent) {
    shift += v->frame().origin.y - v->bounds().origin.y;
    // A view that was never given a height cuts nothing.
    bool cuts = dynamic_cast<const UIScrollView*>(parent) || parent->clipsToBounds() || !parent->superview();
    if (!cuts || parent->bounds().height() <= 0) continue;
    top = std::max(top, parent->bounds().minY() - shift);
    bottom = std::min(bottom, parent->bounds().maxY() - shift);
  }
  return {top, std::max(top, bottom)};
}

void UITableView::retireCells(const PlacedCells& cells) {
  auto& d = effectiveDelegate();
  std::vector<std::shared_ptr<UIView>> views;
  views.reserve(cells.size());
  for (auto& [path, cell] : cells) {
    d.tableViewDidEndDisplayingCell(*this, *cell, path);
    views.push_back(cell);
  }
  UIView::removeFromSuperviews(views);
  for (auto& [path, cell] : cells) pool_.enqueue(cell);
}

void UITableView::reloadData() {
  UI_MAIN_THREAD_ONLY();
  // The rows may be others now: a slid row goes back, a menu goes.
  closeSwipeActions(false);
  hideMenu();
  PlacedCells old(visible_.begin(), visible_.end());
  visible_.clear();
  headerViews_.clear();
  retireCells(old);
  selected_.clear();
  needsReload_ = true;
  pending_ = {};
  setNeedsLayout();
}

void UITableView::ensureLoaded() {
  if (!needsReload_ || updating_) return;
  needsReload_ = false;
  computeLayout();
  updateVisibleCells();
}

void UITableView::computeLayout() {
  sections_.clear();
  auto& d = effectiveDelegate();
  double y = tableHeaderView_ ? tableHeaderView_->frame().height() : 0;
  long n = dataSource_ ? dataSource_->numberOfSectionsInTableView(*this) : 0;
  for (long s = 0; s < n; ++s) {
    Section sec;
    sec.top = y;
    sec.rows = std::max(0L, dataSource_->tableViewNumberOfRowsInSection(*this, s));
    sec.headerHeight = std::max(0.0, d.tableViewHeightForHeaderInSection(*this, s));
    y += sec.headerHeight;
    for (long r = 0; r < sec.rows; ++r) {
      double h = d.tableViewHeightForRowAtIndexPath(*this, {s, r});
      if (h < 0) h = estimatedRowHeight_ > 0 ? estimatedRowHeight_ : 44;
      sec.rowTops.push_back(y);
      sec.rowHeights.push_back(h);
      y += h;
    }
    sec.footerHeight = std::max(0.0, d.tableViewHeightForFooterInSection(*this, s));
    y += sec.footerHeight;
    sections_.push_back(std::move(sec));
  }
  if (tableFooterView_) {
    CGRect f = tableFooterView_->frame();
    tableFooterView_->setFrame(CGRect::make(0, y, bounds().width(), f.height()));
    y += f.height();
  }
  setContentSize({bounds().width(), y});
}

void UITableView::updateVisibleCells() {
  if (needsReload_) return;
  shownSpan_ = visibleSpan();
  auto [top, bottom] = shownSpan_;
  std::set<NSIndexPath> wanted;
  std::set<long> wantedHeaders;
  for (long s = 0; s < long(sections_.size()); ++s) {
    const Section& sec = sections_[size_t(s)];
    if (sec.headerHeight > 0 && sec.top < bottom && sec.top + sec.headerHeight > top) wantedHeaders.insert(s);
    auto first = std::upper_bound(sec.rowTops.begin(), sec.rowTops.end(), top);
    long r = first == sec.rowTops.begin() ? 0 : long(first - sec.rowTops.begin()) - 1;
    for (; r < sec.rows && sec.rowTops[size_t(r)] < bottom; ++r)
      if (sec.rowTops[size_t(r)] + sec.rowHeights[size_t(r)] > top) wanted.insert({s, r});
  }
  PlacedCells leaving;
  for (auto it = visible_.begin(); it != visible_.end();) {
    if (wanted.count(it->first)) {
      ++it;
      continue;
    }
    leaving.emplace_back(*it);
    it = visible_.erase(it);
  }
  retireCells(leaving);
  auto& d = effectiveDelegate();
  for (auto it = headerViews_.begin(); it != headerViews_.end();) {
    if (!wantedHeaders.count(it->first)) {
      if (it->second) it->second->removeFromSuperview();
      it = headerViews_.erase(it);
    } else {
      ++it;
    }
  }
  for (long s : wantedHeaders) {
    if (headerViews_.count(s)) continue;
    auto view = d.tableViewViewForHeaderInSection(*this, s);
    if (view) {
      view->setFrame(CGRect::make(0, sections_[size_t(s)].top, bounds().width(), sections_[size_t(s)].headerHeight));
      addSubview(view);
    }
    headerViews_[s] = view;
  }
  double width = bounds().width() > 0 ? bounds().width() : UIScreen::mainScreen().bounds().width();
  for (const auto& path : wanted) {
    const Section& sec = sections_[size_t(path.section)];
    CGRect frame = CGRect::make(0, sec.rowTops[size_t(path.row)], width, sec.rowHeights[size_t(path.row)]);
    auto found = visible_.find(path);
    if (found != visible_.end()) {
      found->second->setFrame(frame);
      continue;
    }
    auto cell = dataSource_->tableViewCellForRowAtIndexPath(*this, path);
    if (!cell) {
      KVLog("the data source gave no cell for row %s", path.description().c_str());
      cell = std::make_shared<UITableViewCell>();
    }
    cell->setFrame(frame);
    cell->contentView()->setFrame(CGRect::make(0, 0, width, frame.height()));
    if (cell->superview() != this) addSubview(cell);
    cell->setSelected(std::find(selected_.begin(), selected_.end(), path) != selected_.end());
    if (editing_) cell->setEditing(true);
    visible_[path] = cell;
    d.tableViewWillDisplayCell(*this, *cell, path);
  }
  placeRowGestures();
}

void UITableView::layoutSubviews() {
  ensureLoaded();
  updateVisibleCells();
}

void UITableView::contentOffsetDidChange() {
  if (!needsReload_) updateVisibleCells();
}

void UITableView::safeAreaInsetsMayHaveChanged() {
  UIScrollView::safeAreaInsetsMayHaveChanged();
  if (!needsReload_ && !updating_ && visibleSpan() != shownSpan_) updateVisibleCells();
}

namespace {
void addAll(std::vector<NSIndexPath>& into, const std::vector<NSIndexPath>& from) { into.insert(into.end(), from.begin(), from.end()); }
}  // namespace

void UITableView::insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.inserts, paths);
  if (updateDepth_ == 0) applyRowChanges();
}
void UITableView::deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.deletes, paths);
  if (updateDepth_ == 0) applyRowChanges();
}
void UITableView::reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.reloads, paths);
  if (updateDepth_ == 0) applyRowChanges();
}
void UITableView::reloadSections(const std::vector<long>&, UITableViewRowAnimation) {
  UI_MAIN_THREAD_ONLY();
  pending_.sectionsChanged = true;
  if (updateDepth_ == 0) applyRowChanges();
}
void UITableView::insertSections(const std::vector<long>& s, UITableViewRowAnimation a) { reloadSections(s, a); }
void UITableView::deleteSections(const std::vector<long>& s, UITableViewRowAnimation a) { reloadSections(s, a); }

void UITableView::beginUpdates() { ++updateDepth_; }

void UITableView::endUpdates() {
  UI_MAIN_THREAD_ONLY();
  if (updateDepth_ == 0) return;
  if (--updateDepth_ == 0) applyRowChanges();
}

void UITableView::performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion) {
  beginUpdates();
  if (updates) updates();
  endUpdates();
  completeOnNextTurn(std::move(completion));
}

void UITableView::applyRowChanges() {
  UIIndexPathUpdates changes = std::move(pending_);
  pending_ = {};
  if (needsReload_) return;  // the next load reads everything afresh
  if (!changes.empty()) {
    closeSwipeActions(false);
    hideMenu();
  }
  auto fullReload = [this] {
    reloadData();
    ensureLoaded();
  };
  if (changes.sectionsChanged) return fullReload();
  std::vector<long> oldCounts, newCounts;
  for (auto& sec : sections_) oldCounts.push_back(sec.rows);
  long newSections = dataSource_ ? dataSource_->numberOfSectionsInTableView(*this) : 0;
  for (long s = 0; s < newSections; ++s) newCounts.push_back(dataSource_->tableViewNumberOfRowsInSection(*this, s));
  auto found = changes.moves(oldCounts, newCounts);
  if (!found) {
    ++inconsistencies_;
    KVLog("table update does not match the data source's row counts; reloading");
    return fullReload();
  }
  PlacedCells retired;
  changes.carry(*found, visible_, selected_, [&retired](const NSIndexPath& p, auto cell) { retired.emplace_back(p, cell); });
  retireCells(retired);
  for (auto& [s, view] : headerViews_)
    if (view) view->removeFromSuperview();
  headerViews_.clear();
  computeLayout();
  updateVisibleCells();
}

long UITableView::numberOfSections() {
  ensureLoaded();
  return long(sections_.size());
}

long UITableView::numberOfRowsInSection(long section) {
  ensureLoaded();
  return section >= 0 && section < long(sections_.size()) ? sections_[size_t(section)].rows : 0;
}

CGRect UITableView::rectForRowAtIndexPath(const NSIndexPath& p) {
  ensureLoaded();
  if (p.section < 0 || p.section >= long(sections_.size())) return {};
  const Section& sec = sections_[size_t(p.section)];
  if (p.row < 0 || p.row >= sec.rows) return {};
  return CGRect::make(0, sec.rowTops[size_t(p.row)], bounds().width(), sec.rowHeights[size_t(p.row)]);
}

CGRect UITableView::rectForHeaderInSection(long section) {
  ensureLoaded();
  if (section < 0 || section >= long(sections_.size())) return {};
  return CGRect::make(0, sections_[size_t(section)].top, bounds().width(), sections_[size_t(section)].headerHeight);
}

CGRect UITableView::rectForFooterInSection(long section) {
  ensureLoaded();
  if (section < 0 || section >= long(sections_.size())) return {};
  const Section& sec = sections_[size_t(section)];
  double end = sec.rows ? sec.rowTops.back() + sec.rowHeights.back() : sec.top + sec.headerHeight;
  return CGRect::make(0, end, bounds().width(), sec.footerHeight);
}

std::optional<NSIndexPath> UITableView::indexPathForRowAtPoint(CGPoint point) {
  ensureLoaded();
  for (long s = 0; s < long(sections_.size()); ++s) {
    const Section& sec = sections_[size_t(s)];
    for (long r = 0; r < sec.rows; ++r)
      if (point.y >= sec.rowTops[size_t(r)] && point.y < sec.rowTops[size_t(r)] + sec.rowHeights[size_t(r)])
        return NSIndexPath{s, r};
  }
  return std::nullopt;
}

std::optional<NSIndexPath> UITableView::indexPathForCell(const UITableViewCell* cell) {
  ensureLoaded();
  for (auto& [path, c] : visible_)
    if (c.get() == cell) return path;
  return std::nullopt;
}

std::shared_ptr<UITableViewCell> UITableView::cellForRowAtIndexPath(const NSIndexPath& path) {
  ensureLoaded();
  auto it = visible_.find(path);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<UITableViewCell>> UITableView::visibleCells() {
  ensureLoaded();
  std::vector<std::shared_ptr<UITableViewCell>> out;
  for (auto& [path, cell] : visible_) out.push_back(cell);
  return out;
}

std::vector<NSIndexPath> UITableView::indexPathsForVisibleRows() {
  ensureLoaded();
  std::vector<NSIndexPath> out;
  for (auto& [path, cell] : visible_) out.push_back(path);
  return out;
}

std::shared_ptr<UIView> UITableView::headerViewForSection(long section) {
  ensureLoaded();
  auto it = headerViews_.find(section);
  return it == headerViews_.end() ? nullptr : it->second;
}

std::optional<std::string> UITableView::headerTitleForSection(long section) {
  return dataSource_ ? dataSource_->tableViewTitleForHeaderInSection(*this, section) : std::nullopt;
}

std::optional<std::string> UITableView::footerTitleForSection(long section) {
  return dataSource_ ? dataSource_->tableViewTitleForFooterInSection(*this, section) : std::nullopt;
}

void UITableView::scrollToRowAtIndexPath(const NSIndexPath& path, UITableViewScrollPosition position, bool animated) {
  CGRect rect = rectForRowAtIndexPath(path);
  if (rect.isEmpty()) return;
  CGPoint offset = contentOffset();
  // Placed within what the insets leave seen (clear of the bars where they are kept).
  UIEdgeInsets in = adjustedContentInset();
  double h = viewportHeight() - in.top - in.bottom;
  if (position == UITableViewScrollPositionTop) offset.y = rect.minY() - in.top;
  else if (position == UITableViewScrollPositionMiddle) offset.y = rect.minY() - (h - rect.height()) / 2 - in.top;
  else if (position == UITableViewScrollPositionBottom) offset.y = rect.maxY() - h - in.top;
  else if (rect.minY() < offset.y + in.top) offset.y = rect.minY() - in.top;
  else if (rect.maxY() > offset.y + in.top + h) offset.y = rect.maxY() - h - in.top;
  double least = minimumContentOffset().y;
  offset.y = std::clamp(offset.y, least, std::max(least, contentSize().height + in.bottom - viewportHeight()));
  setContentOffset(offset, animated);
}

void UITableView::selectRowAtIndexPath(const std::optional<NSIndexPath>& path, bool animated,
                                       UITableViewScrollPosition position) {
  UI_MAIN_THREAD_ONLY();
  ensureLoaded();
  if (!allowsMultipleSelection_ || !path) {
    for (auto& p : selected_)
      if (auto cell = cellForRowAtIndexPath(p)) cell->setSelected(false, animated);
    selected_.clear();
  }
  if (!path) return;
  if (std::find(selected_.begin(), selected_.end(), *path) == selected_.end()) selected_.push_back(*path);
  if (auto cell = cellForRowAtIndexPath(*path)) cell->setSelected(true, animated);
  if (position != UITableViewScrollPositionNone) scrollToRowAtIndexPath(*path, position, animated);
}

void UITableView::deselectRowAtIndexPath(const NSIndexPath& path, bool animated) {
  UI_MAIN_THREAD_ONLY();
  selected_.erase(std::remove(selected_.begin(), selected_.end(), path), selected_.end());
  if (auto cell = cellForRowAtIndexPath(path)) cell->setSelected(false, animated);
}

std::optional<NSIndexPath> UITableView::indexPathForSelectedRow() const {
  if (selected_.empty()) return std::nullopt;
  return *std::min_element(selected_.begin(), selected_.end());
}

std::vector<NSIndexPath> UITableView::indexPathsForSelectedRows() const { return selected_; }

namespace {
// The screen's text being made: its number, and the section its next table begins at.
bool gNumbering = false;
uint64_t gNumberingCount = 0;
long gNextPrintedSection = 0;
}  // namespace

void UITableView::beginScreenNumbering() {
  gNumbering = true;
  ++gNumberingCount;
  gNextPrintedSection = 0;
}

void UITableView::endScreenNumbering() { gNumbering = false; }

uint64_t UITableView::lastScreenNumbering() { return gNumberingCount; }

bool UITableView::appendScreenText(std::vector<std::string>& lines) const {
  auto& self = const_cast<UITableView&>(*this);
  self.ensureLoaded();
  long total = 0;
  for (auto& s : sections_) total += s.rows;
  if (tableHeaderView_ && !tableHeaderView_->isHidden()) {
    std::vector<std::string> header;
    // What a person sees of it: hidden views are not read, nested ones are.
    if (!tableHeaderView_->appendScreenText(header)) UIScreenText::appendViewLines(*tableHeaderView_, header);
    for (auto& h : header) lines.push_back(h);
  }
  long base = 0;
  if (gNumbering) {
    base = gNextPrintedSection;
    gNextPrintedSection += long(sections_.size());
    printedSectionBase_ = base;
    printedInNumbering_ = gNumberingCount;
  }
  auto printed = [base](const NSIndexPath& path) { return NSIndexPath{path.section + base, path.row}.description(); };
  auto [top, bottom] = visibleSpan();
  // Where the screen is laid out as it is drawn, the rows a person sees: none under a bar
  // or the card over the tab bar.
  if (contentKeepsClearOfBars()) {
    CGRect shown = shownBounds();
    top = shown.minY();
    bottom = shown.height() > 0 ? shown.maxY() : top;
  }
  std::vector<std::pair<NSIndexPath, UITableViewCell*>> rows;
  for (auto& [path, cell] : visible_) {
    CGRect f = cell->frame();
    if (!cell->isHidden() && f.minY() < bottom && f.maxY() > top) rows.emplace_back(path, cell.get());
  }
  std::string head = "table: " + std::to_string(total) + (total == 1 ? " row" : " rows");
  if (!rows.empty() && long(rows.size()) < total) head += ", showing " + printed(rows.front().first) + "-" + printed(rows.back().first);
  lines.push_back(head);
  for (long s = 0; s < long(sections_.size()); ++s) {
    const Section& sec = sections_[size_t(s)];
    double end = sec.rows ? sec.rowTops.back() + sec.rowHeights.back() : sec.top + sec.headerHeight;
    if (sec.headerHeight > 0 && sec.top < bottom && sec.top + sec.headerHeight > top) {
      auto it = headerViews_.find(s);
      std::string text;
      if (it != headerViews_.end() && it->second) {
        std::vector<std::string> parts;
        it->second->appendScreenText(parts);
        for (auto& sub : it->second->subviews()) sub->appendScreenText(parts);
        for (auto& p : parts) text += (text.empty() ? "" : " · ") + p;
      } else if (auto title = self.headerTitleForSection(s)) {
        text = *title;
      }
      if (!text.empty()) lines.push_back("  -- " + UIScreenTextFormat::oneLine(text) + " --");  // an empty header shows nothing
    }
    for (auto& [path, cell] : rows) {
      if (path.section != s) continue;
      std::vector<std::string> row;
      cell->appendScreenText(row);
      std::string line = "  " + printed(path) + ": " + (row.empty() ? "" : row.front());
      // The buttons a gesture uncovered beside the row or holds over it.
      for (const RowGesture* gesture : {&slid_, &menu_})
        if (gesture->view && gesture->path == path && (gesture == &menu_ || gesture->shift != 0)) {
          std::vector<std::string> buttons;
          gesture->view->appendScreenText(buttons);
          line += "  " + buttons.front();
        }
      lines.push_back(line);
    }
    if (sec.footerHeight > 0 && end < bottom && end + sec.footerHeight > top) {
      if (auto title = self.footerTitleForSection(s)) lines.push_back("  -- " + UIScreenTextFormat::oneLine(*title) + " --");
    }
  }
  return true;
}
