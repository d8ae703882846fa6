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

namespace {
UICollectionViewDelegate& defaultDelegate() {
  static UICollectionViewDelegate d;
  return d;
}
}  // namespace

UICollectionView::UICollectionView(CGRect frame, UICollectionViewFlowLayout layout) : UIScrollView(frame), layout_(layout) {}
UICollectionView::~UICollectionView() = default;

void UICollectionView::setCollectionViewLayout(UICollectionViewFlowLayout layout) {
  layout_ = layout;
  reloadData();
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

void UICollectionView::retireCell(const NSIndexPath& path, std::shared_ptr<UICollectionViewCell> cell) {
  (delegate_ ? *delegate_ : defaultDelegate()).collectionViewDidEndDisplayingCell(*this, *cell, path);
  cell->removeFromSuperview();
  pool_.enqueue(std::move(cell));
}

CGSize UICollectionView::viewportSize() const {
  CGSize s = bounds().size;
  CGRect screen = UIScreen::mainScreen().bounds();
  if (s.width <= 0) s.width = screen.width();
  if (s.height <= 0) s.height = screen.height();
  return s;
}

void UICollectionView::reloadData() {
  auto old = visible_;
  visible_.clear();
  for (auto& [path, cell] : old) retireCell(path, cell);
  selected_.clear();
  needsReload_ = true;
  setNeedsLayout();
}

void UICollectionView::performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion) {
  if (updates) updates();
  reloadData();
  ensureLoaded();
  completeOnNextTurn(std::move(completion));
}

void UICollectionView::ensureLoaded() {
  if (!needsReload_) return;
  needsReload_ = false;
  computeLayout();
  updateVisibleCells();
}

void UICollectionView::computeLayout() {
  frames_.clear();
  auto& d = delegate_ ? *delegate_ : defaultDelegate();
  CGSize view = viewportSize();
  bool vertical = layout_.scrollDirection == UICollectionViewScrollDirectionVertical;
  double along = 0, extent = 0;  // position along the scroll direction; size across it
  long sections = dataSource_ ? dataSource_->numberOfSectionsInCollectionView(*this) : 0;
  for (long s = 0; s < sections; ++s) {
    UIEdgeInsets inset = d.collectionViewInsetForSectionAtIndex(*this, s);
    double lineSpacing = d.collectionViewMinimumLineSpacingForSectionAtIndex(*this, s);
    double itemSpacing = d.collectionViewMinimumInteritemSpacingForSectionAtIndex(*this, s);
    long items = std::max(0L, dataSource_->collectionViewNumberOfItemsInSection(*this, s));
    std::vector<CGRect> frames;
    along += vertical ? inset.top + layout_.headerReferenceSize.height : inset.left + layout_.headerReferenceSize.width;
    double across = vertical ? inset.left : inset.top;
    double limit = vertical ? view.width - inset.right : view.height - inset.bottom;
    double lineDepth = 0;
    for (long i = 0; i < items; ++i) {
      CGSize size = d.collectionViewSizeForItemAtIndexPath(*this, {s, i});
      double a = vertical ? size.width : size.height, depth = vertical ? size.height : size.width;
      double start = vertical ? inset.left : inset.top;
      if (across > start && across + a > limit) {
        along += lineDepth + lineSpacing;
        across = start;
        lineDepth = 0;
      }
      frames.push_back(vertical ? CGRect::make(across, along, size.width, size.height)
                                : CGRect::make(along, across, size.width, size.height));
      across += a + itemSpacing;
      lineDepth = std::max(lineDepth, depth);
      extent = std::max(extent, across);
    }
    along += lineDepth + (vertical ? inset.bottom + layout_.footerReferenceSize.height
                                   : inset.right + layout_.footerReferenceSize.width);
    frames_.push_back(std::move(frames));
  }
  setContentSize(vertical ? CGSize{view.width, along} : CGSize{along, view.height});
}

void UICollectionView::updateVisibleCells() {
  if (needsReload_) return;
  auto& d = delegate_ ? *delegate_ : defaultDelegate();
  CGRect viewport{contentOffset(), viewportSize()};
  std::set<NSIndexPath> wanted;
  for (long s = 0; s < long(frames_.size()); ++s)
    for (long i = 0; i < long(frames_[size_t(s)].size()); ++i)
      if (frames_[size_t(s)][size_t(i)].intersects(viewport)) wanted.insert({s, i});
  std::vector<NSIndexPath> leaving;
  for (auto& [path, cell] : visible_)
    if (!wanted.count(path)) leaving.push_back(path);
  for (auto& path : leaving) {
    auto cell = visible_[path];
    visible_.erase(path);
    retireCell(path, cell);
  }
  for (auto& path : wanted) {
    CGRect frame = frames_[size_t(path.section)][size_t(path.row)];
    auto it = visible_.find(path);
    if (it != visible_.end()) {
      it->second->setFrame(frame);
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
}

void UICollectionView::layoutSubviews() {
  ensureLoaded();
  updateVisibleCells();
}

void UICollectionView::contentOffsetDidChange() { updateVisibleCells(); }

long UICollectionView::numberOfSections() {
  ensureLoaded();
  return long(frames_.size());
}

long UICollectionView::numberOfItemsInSection(long section) {
  ensureLoaded();
  return section >= 0 && section < long(frames_.size()) ? long(frames_[size_t(section)].size()) : 0;
}

CGRect UICollectionView::frameForItemAtIndexPath(const NSIndexPath& p) {
  if (p.row < 0 || p.row >= numberOfItemsInSection(p.section)) return {};
  return frames_[size_t(p.section)][size_t(p.row)];
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

void UICollectionView::scrollToItemAtIndexPath(const NSIndexPath& path, bool animated) {
  CGRect f = frameForItemAtIndexPath(path);
  if (f.isEmpty()) return;
  CGRect viewport{contentOffset(), viewportSize()};
  if (viewport.contains(f.origin) && viewport.contains({f.maxX() - 0.5, f.maxY() - 0.5})) return;
  CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
  bool vertical = layout_.scrollDirection == UICollectionViewScrollDirectionVertical;
  CGPoint offset = vertical ? CGPoint{contentOffset().x, std::clamp(f.minY(), lo.y, hi.y)}
                            : CGPoint{std::clamp(f.minX(), lo.x, hi.x), contentOffset().y};
  setContentOffset(offset, animated);
}

void UICollectionView::selectItemAtIndexPath(const NSIndexPath& path, bool) {
  for (auto& p : selected_)
    if (auto c = cellForItemAtIndexPath(p)) c->setSelected(false);
  selected_ = {path};
  if (auto c = cellForItemAtIndexPath(path)) c->setSelected(true);
}

void UICollectionView::deselectItemAtIndexPath(const NSIndexPath& path, bool) {
  selected_.erase(std::remove(selected_.begin(), selected_.end(), path), selected_.end());
  if (auto c = cellForItemAtIndexPath(path)) c->setSelected(false);
}

bool UICollectionView::selectItemByUser(const NSIndexPath& path) {
  if (path.row < 0 || path.row >= numberOfItemsInSection(path.section) || !allowsSelection_) return false;
  scrollToItemAtIndexPath(path, false);
  auto& d = delegate_ ? *delegate_ : defaultDelegate();
  if (!d.collectionViewShouldSelectItemAtIndexPath(*this, path)) return true;
  selectItemAtIndexPath(path, false);
  d.collectionViewDidSelectItemAtIndexPath(*this, path);
  return true;
}

bool UICollectionView::appendScreenText(std::vector<std::string>& lines) const {
  auto& self = const_cast<UICollectionView&>(*this);
  self.ensureLoaded();
  size_t total = 0;
  for (auto& f : frames_) total += f.size();
  lines.push_back("collection: " + std::to_string(total) + (total == 1 ? " item" : " items"));
  for (auto& [path, cell] : visible_) {
    if (cell->isHidden()) continue;
    lines.push_back("  " + path.description() + ": " + UIScreenTextFormat::oneLine(cell->screenItemText()));
  }
  return true;
}
