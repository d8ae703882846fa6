#include "uikit/UICollectionView.h"

#include <algorithm>
#include <set>

#include "foundation/Log.h"
#include "uikit/UINib.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScreenTextFormat.h"

CGSize UICollectionViewDelegate::collectionViewSizeForItemAtIndexPath(UICollectionView& c, const NSIndexPath&) {
  return c.collectionViewLayout().itemSize;
}
UIEdgeInsets UICollectionViewDelegate::collectionViewInsetForSectionAtIndex(UICollectionView& c, long) {
  return c.collectionViewLayout().sectionInset;
}
double UICollectionViewDelegate::collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView& c, long) {
  return c.collectionViewLayout().minimumLineSpacing;
}
double UICollectionViewDelegate::collectionViewMinimumInteritemSpacingForSectionAtIndex(UICollectionView& c, long) {
  return c.collectionViewLayout().minimumInteritemSpacing;
}
CGSize UICollectionViewDelegate::collectionViewReferenceSizeForHeaderInSection(UICollectionView& c, long) {
  return c.collectionViewLayout().headerReferenceSize;
}
CGSize UICollectionViewDelegate::collectionViewReferenceSizeForFooterInSection(UICollectionView& c, long) {
  return c.collectionViewLayout().footerReferenceSize;
}

UICollectionView::UICollectionView(CGRect frame, UICollectionViewFlowLayout layout) : UIScrollView(frame), layout_(layout) {}
UICollectionView::~UICollectionView() = default;

UICollectionViewDelegate& UICollectionView::effectiveDelegate() const {
  static UICollectionViewDelegate fallback;
  return delegate_ ? *delegate_ : fallback;
}

void UICollectionView::setCollectionViewLayout(UICollectionViewFlowLayout layout) {
  layout_ = layout;
  invalidateLayout();
}

void UICollectionView::invalidateLayout() {
  UI_MAIN_THREAD_ONLY();
  if (needsReload_) return;
  computeLayout();
  setNeedsLayout();
}

void UICollectionView::setDataSource(UICollectionViewDataSource* dataSource) {
  dataSource_ = dataSource;
  reloadData();
}

void UICollectionView::setCollectionDelegate(UICollectionViewDelegate* delegate) {
  delegate_ = delegate;
  setDelegate(delegate);
  reloadData();
}

void UICollectionView::registerCellClass(const std::string& identifier, CellFactory factory) {
  pool_.registerFactory(identifier, [factory = std::move(factory)](const std::string&) { return factory(); });
}

void UICollectionView::registerNib(const std::string& nibName, const std::string& identifier) {
  registerCellClass(identifier, [nibName]() -> std::shared_ptr<UICollectionViewCell> {
    auto cell = std::dynamic_pointer_cast<UICollectionViewCell>(UINib::instantiateView(nibName));
    if (!cell) KVLog("no collection cell in the interface file %s", nibName.c_str());
    return cell;
  });
}

std::shared_ptr<UICollectionViewCell> UICollectionView::dequeueReusableCellWithReuseIdentifier(
    const std::string& identifier, const NSIndexPath& indexPath) {
  auto cell = pool_.dequeue(identifier);
  if (!cell) {
    KVLog("no cell registered for the identifier %s (item %s)", identifier.c_str(), indexPath.description().c_str());
    cell = std::make_shared<UICollectionViewCell>();
  }
  cell->setReuseIdentifier(identifier);
  return cell;
}

size_t UICollectionView::reusePoolSize(const std::string& identifier) const { return pool_.size(identifier); }

void UICollectionView::registerSupplementaryViewClass(const std::string& kind, const std::string& identifier,
                                                      ViewFactory factory) {
  supplementaryPools_[kind].registerFactory(identifier,
                                            [factory = std::move(factory)](const std::string&) { return factory(); });
}

void UICollectionView::registerNibForSupplementaryViewOfKind(const std::string& nibName, const std::string& kind,
                                                             const std::string& identifier) {
  registerSupplementaryViewClass(kind, identifier, [nibName]() -> std::shared_ptr<UICollectionReusableView> {
    auto view = std::dynamic_pointer_cast<UICollectionReusableView>(UINib::instantiateView(nibName));
    if (!view) KVLog("no reusable view in the interface file %s", nibName.c_str());
    return view;
  });
}

std::shared_ptr<UICollectionReusableView> UICollectionView::dequeueReusableSupplementaryViewOfKind(
    const std::string& kind, const std::string& identifier, const NSIndexPath& indexPath) {
  auto view = supplementaryPools_[kind].dequeue(identifier);
  if (!view) {
    KVLog("no %s registered for the identifier %s (section %ld)", kind.c_str(), identifier.c_str(), indexPath.section);
    view = std::make_shared<UICollectionReusableView>();
  }
  view->setReuseIdentifier(identifier);
  return view;
}

void UICollectionView::retireCell(const NSIndexPath& path, std::shared_ptr<UICollectionViewCell> cell) {
  effectiveDelegate().collectionViewDidEndDisplayingCell(*this, *cell, path);
  cell->removeFromSuperview();
  pool_.enqueue(std::move(cell));
}

void UICollectionView::retireSupplementaryView(const SupplementaryKey& key,
                                               std::shared_ptr<UICollectionReusableView> view) {
  view->removeFromSuperview();
  supplementaryPools_[key.first].enqueue(std::move(view));
}

void UICollectionView::retireAll() {
  auto cells = std::move(visible_);
  visible_.clear();
  for (auto& [path, cell] : cells) retireCell(path, cell);
  auto views = std::move(visibleSupplementary_);
  visibleSupplementary_.clear();
  for (auto& [key, view] : views) retireSupplementaryView(key, view);
}

CGSize UICollectionView::viewportSize() const {
  CGSize s = bounds().size;
  CGRect screen = UIScreen::mainScreen().bounds();
  if (s.width <= 0) s.width = screen.width();
  if (s.height <= 0) s.height = screen.height();
  return s;
}

void UICollectionView::reloadData() {
  UI_MAIN_THREAD_ONLY();
  retireAll();
  selected_.clear();
  pending_ = {};
  needsReload_ = true;
  setNeedsLayout();
}

void UICollectionView::ensureLoaded() {
  if (!needsReload_ || batchDepth_ > 0) return;
  needsReload_ = false;
  computeLayout();
  updateVisibleViews();
}

// Lines of items along the scroll direction: across a vertical layout items fill a row
// from the left and rows go down; a horizontal one fills a column from the top and
// columns go right. Each section is its header, its inset, its lines and its footer.
void UICollectionView::computeLayout() {
  sections_.clear();
  auto& d = effectiveDelegate();
  CGSize view = viewportSize();
  bool vertical = layout_.scrollDirection == UICollectionViewScrollDirectionVertical;
  double along = 0;
  long count = dataSource_ ? dataSource_->numberOfSectionsInCollectionView(*this) : 0;
  for (long s = 0; s < count; ++s) {
    SectionFrames section;
    UIEdgeInsets inset = d.collectionViewInsetForSectionAtIndex(*this, s);
    double lineSpacing = d.collectionViewMinimumLineSpacingForSectionAtIndex(*this, s);
    double itemSpacing = d.collectionViewMinimumInteritemSpacingForSectionAtIndex(*this, s);
    long items = std::max(0L, dataSource_->collectionViewNumberOfItemsInSection(*this, s));
    CGSize header = d.collectionViewReferenceSizeForHeaderInSection(*this, s);
    double headerDepth = std::max(0.0, vertical ? header.height : header.width);
    if (headerDepth > 0)
      section.header = vertical ? CGRect::make(0, along, view.width, headerDepth)
                                : CGRect::make(along, 0, headerDepth, view.height);
    along += headerDepth + (vertical ? inset.top : inset.left);
    double start = vertical ? inset.left : inset.top;
    double limit = vertical ? view.width - inset.right : view.height - inset.bottom;
    double across = start, lineDepth = 0;
    for (long i = 0; i < items; ++i) {
      CGSize size = d.collectionViewSizeForItemAtIndexPath(*this, {s, i});
      double breadth = vertical ? size.width : size.height, depth = vertical ? size.height : size.width;
      if (across > start && across + breadth > limit) {
        along += lineDepth + lineSpacing;
        across = start;
        lineDepth = 0;
      }
      section.items.push_back(vertical ? CGRect::make(across, along, size.width, size.height)
                                       : CGRect::make(along, across, size.width, size.height));
      across += breadth + itemSpacing;
      lineDepth = std::max(lineDepth, depth);
    }
    along += lineDepth + (vertical ? inset.bottom : inset.right);
    CGSize footer = d.collectionViewReferenceSizeForFooterInSection(*this, s);
    double footerDepth = std::max(0.0, vertical ? footer.height : footer.width);
    if (footerDepth > 0)
      section.footer = vertical ? CGRect::make(0, along, view.width, footerDepth)
                                : CGRect::make(along, 0, footerDepth, view.height);
    along += footerDepth;
    sections_.push_back(std::move(section));
  }
  setContentSize(vertical ? CGSize{view.width, along} : CGSize{along, view.height});
}

void UICollectionView::updateVisibleViews() {
  if (needsReload_) return;
  auto& d = effectiveDelegate();
  CGRect viewport{contentOffset(), viewportSize()};
  std::set<NSIndexPath> wanted;
  for (long s = 0; s < long(sections_.size()); ++s)
    for (long i = 0; i < long(sections_[size_t(s)].items.size()); ++i)
      if (sections_[size_t(s)].items[size_t(i)].intersects(viewport)) wanted.insert({s, i});
  std::vector<NSIndexPath> leaving;
  for (auto& [path, cell] : visible_)
    if (!wanted.count(path)) leaving.push_back(path);
  for (auto& path : leaving) {
    auto cell = visible_[path];
    visible_.erase(path);
    retireCell(path, cell);
  }
  for (auto& path : wanted) {
    CGRect frame = sections_[size_t(path.section)].items[size_t(path.row)];
    auto it = visible_.find(path);
    if (it != visible_.end()) {
      it->second->setFrame(frame);
      it->second->contentView()->setFrame(CGRect{{0, 0}, frame.size});
      continue;
    }
    auto cell = dataSource_->collectionViewCellForItemAtIndexPath(*this, path);
    if (!cell) cell = std::make_shared<UICollectionViewCell>();
    cell->setFrame(frame);
    cell->contentView()->setFrame(CGRect{{0, 0}, frame.size});
    if (cell->superview() != this) addSubview(cell);
    cell->setSelected(std::find(selected_.begin(), selected_.end(), path) != selected_.end());
    visible_[path] = cell;
    d.collectionViewWillDisplayCell(*this, *cell, path);
  }
  updateVisibleSupplementaryViews(viewport);
}

void UICollectionView::updateVisibleSupplementaryViews(const CGRect& viewport) {
  std::map<SupplementaryKey, CGRect> wanted;
  for (long s = 0; s < long(sections_.size()); ++s) {
    const SectionFrames& section = sections_[size_t(s)];
    if (!section.header.isEmpty() && section.header.intersects(viewport))
      wanted[{UICollectionElementKindSectionHeader, s}] = section.header;
    if (!section.footer.isEmpty() && section.footer.intersects(viewport))
      wanted[{UICollectionElementKindSectionFooter, s}] = section.footer;
  }
  for (auto it = visibleSupplementary_.begin(); it != visibleSupplementary_.end();) {
    if (wanted.count(it->first)) {
      ++it;
      continue;
    }
    auto key = it->first;
    auto view = it->second;
    it = visibleSupplementary_.erase(it);
    retireSupplementaryView(key, view);
  }
  for (auto& [key, frame] : wanted) {
    auto found = visibleSupplementary_.find(key);
    if (found != visibleSupplementary_.end()) {
      found->second->setFrame(frame);
      continue;
    }
    NSIndexPath path{key.second, 0};
    auto view = dataSource_->collectionViewViewForSupplementaryElementOfKind(*this, key.first, path);
    if (!view) continue;
    view->setFrame(frame);
    if (view->superview() != this) addSubview(view);
    visibleSupplementary_[key] = view;
    effectiveDelegate().collectionViewWillDisplaySupplementaryView(*this, *view, key.first, path);
  }
}

void UICollectionView::layoutSubviews() {
  ensureLoaded();
  updateVisibleViews();
}

void UICollectionView::contentOffsetDidChange() { updateVisibleViews(); }

long UICollectionView::numberOfSections() {
  ensureLoaded();
  return long(sections_.size());
}

long UICollectionView::numberOfItemsInSection(long section) {
  ensureLoaded();
  return section >= 0 && section < long(sections_.size()) ? long(sections_[size_t(section)].items.size()) : 0;
}

CGRect UICollectionView::frameForItemAtIndexPath(const NSIndexPath& p) {
  if (p.row < 0 || p.row >= numberOfItemsInSection(p.section)) return {};
  return sections_[size_t(p.section)].items[size_t(p.row)];
}

CGRect UICollectionView::frameForSupplementaryElementOfKind(const std::string& kind, long section) {
  if (section < 0 || section >= numberOfSections()) return {};
  const SectionFrames& s = sections_[size_t(section)];
  return kind == UICollectionElementKindSectionHeader ? s.header : kind == UICollectionElementKindSectionFooter ? s.footer : CGRect{};
}

std::optional<NSIndexPath> UICollectionView::indexPathForItemAtPoint(CGPoint point) {
  ensureLoaded();
  for (long s = 0; s < long(sections_.size()); ++s)
    for (long i = 0; i < long(sections_[size_t(s)].items.size()); ++i)
      if (sections_[size_t(s)].items[size_t(i)].contains(point)) return NSIndexPath{s, i};
  return std::nullopt;
}

std::shared_ptr<UICollectionViewCell> UICollectionView::cellForItemAtIndexPath(const NSIndexPath& path) {
  ensureLoaded();
  auto it = visible_.find(path);
  return it == visible_.end() ? nullptr : it->second;
}

std::vector<NSIndexPath> UICollectionView::indexPathsForVisibleItems() {
  ensureLoaded();
  std::vector<NSIndexPath> out;
  for (auto& [p, c] : visible_) out.push_back(p);
  return out;
}

std::vector<std::shared_ptr<UICollectionViewCell>> UICollectionView::visibleCells() {
  ensureLoaded();
  std::vector<std::shared_ptr<UICollectionViewCell>> out;
  for (auto& [p, c] : visible_) out.push_back(c);
  return out;
}

std::optional<NSIndexPath> UICollectionView::indexPathForCell(const UICollectionViewCell* cell) {
  ensureLoaded();
  for (auto& [p, c] : visible_)
    if (c.get() == cell) return p;
  return std::nullopt;
}

std::shared_ptr<UICollectionReusableView> UICollectionView::supplementaryViewForElementKind(const std::string& kind,
                                                                                          const NSIndexPath& path) {
  ensureLoaded();
  auto it = visibleSupplementary_.find({kind, path.section});
  return it == visibleSupplementary_.end() ? nullptr : it->second;
}

std::vector<std::shared_ptr<UICollectionReusableView>> UICollectionView::visibleSupplementaryViewsOfKind(
    const std::string& kind) {
  ensureLoaded();
  std::vector<std::shared_ptr<UICollectionReusableView>> out;
  for (auto& [key, view] : visibleSupplementary_)
    if (key.first == kind) out.push_back(view);
  return out;
}

void UICollectionView::selectItemAtIndexPath(const NSIndexPath& path, bool) {
  UI_MAIN_THREAD_ONLY();
  for (auto& p : selected_)
    if (auto c = cellForItemAtIndexPath(p)) c->setSelected(false);
  selected_ = {path};
  if (auto c = cellForItemAtIndexPath(path)) c->setSelected(true);
}

void UICollectionView::deselectItemAtIndexPath(const NSIndexPath& path, bool) {
  UI_MAIN_THREAD_ONLY();
  selected_.erase(std::remove(selected_.begin(), selected_.end(), path), selected_.end());
  if (auto c = cellForItemAtIndexPath(path)) c->setSelected(false);
}

bool UICollectionView::selectItemByUser(const NSIndexPath& path) {
  if (path.row < 0 || path.row >= numberOfItemsInSection(path.section) || !allowsSelection_) return false;
  scrollToItemAtIndexPath(path, UICollectionViewScrollPositionNone, false);
  auto& d = effectiveDelegate();
  if (!d.collectionViewShouldSelectItemAtIndexPath(*this, path)) return true;
  selectItemAtIndexPath(path, false);
  d.collectionViewDidSelectItemAtIndexPath(*this, path);
  return true;
}

bool UICollectionView::appendScreenText(std::vector<std::string>& lines) const {
  auto& self = const_cast<UICollectionView&>(*this);
  self.ensureLoaded();
  size_t total = 0;
  for (auto& s : sections_) total += s.items.size();
  lines.push_back("collection: " + std::to_string(total) + (total == 1 ? " item" : " items"));
  auto supplementary = [&](const std::string& kind, long section) {
    auto it = visibleSupplementary_.find({kind, section});
    if (it == visibleSupplementary_.end() || it->second->isHidden()) return;
    lines.push_back("  -- " + UIScreenTextFormat::oneLine(it->second->screenItemText()) + " --");
  };
  // Where the screen is laid out as it is drawn, the items a person sees: none under a
  // bar or the card over the tab bar, nor outside what holds the collection.
  std::optional<CGRect> shown;
  if (contentKeepsClearOfBars()) shown = shownBounds();
  auto seen = [&](const UIView& cell) {
    CGRect f = cell.frame();
    return !shown || (f.minX() < shown->maxX() && f.maxX() > shown->minX() && f.minY() < shown->maxY() && f.maxY() > shown->minY());
  };
  for (long s = 0; s < long(sections_.size()); ++s) {
    supplementary(UICollectionElementKindSectionHeader, s);
    for (auto& [path, cell] : visible_) {
      if (path.section != s || cell->isHidden() || !seen(*cell)) continue;
      lines.push_back("  " + path.description() + ": " + UIScreenTextFormat::oneLine(cell->screenItemText()));
    }
    supplementary(UICollectionElementKindSectionFooter, s);
  }
  return true;
}
