// Item changes of a collection and scrolling to an item.
#include <algorithm>

#include "foundation/Log.h"
#include "uikit/UICollectionView.h"

namespace {
void addAll(std::vector<NSIndexPath>& into, const std::vector<NSIndexPath>& from) {
  into.insert(into.end(), from.begin(), from.end());
}
}  // namespace

void UICollectionView::insertItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.inserts, paths);
  if (batchDepth_ == 0) applyUpdates();
}

void UICollectionView::deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.deletes, paths);
  if (batchDepth_ == 0) applyUpdates();
}

void UICollectionView::reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& paths) {
  UI_MAIN_THREAD_ONLY();
  addAll(pending_.reloads, paths);
  if (batchDepth_ == 0) applyUpdates();
}

void UICollectionView::reloadSections(const std::vector<long>&) {
  UI_MAIN_THREAD_ONLY();
  pending_.sectionsChanged = true;
  if (batchDepth_ == 0) applyUpdates();
}

void UICollectionView::performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion) {
  UI_MAIN_THREAD_ONLY();
  ++batchDepth_;
  if (updates) updates();
  if (--batchDepth_ == 0) applyUpdates();
  completeOnNextTurn(std::move(completion));
}

void UICollectionView::applyUpdates() {
  UIIndexPathUpdates changes = std::move(pending_);
  pending_ = {};
  if (needsReload_) {  // nothing shown yet: the next load reads everything afresh
    ensureLoaded();
    return;
  }
  auto fullReload = [this] {
    reloadData();
    ensureLoaded();
  };
  if (changes.sectionsChanged) return fullReload();
  std::vector<long> oldCounts, newCounts;
  for (auto& s : sections_) oldCounts.push_back(long(s.items.size()));
  long sections = dataSource_ ? dataSource_->numberOfSectionsInCollectionView(*this) : 0;
  for (long s = 0; s < sections; ++s)
    newCounts.push_back(std::max(0L, dataSource_->collectionViewNumberOfItemsInSection(*this, s)));
  auto found = changes.moves(oldCounts, newCounts);
  if (!found) {
    ++inconsistencies_;
    KVLog("collection update does not match the data source's item counts; reloading");
    return fullReload();
  }
  changes.carry(*found, visible_, selected_, [this](const NSIndexPath& p, auto cell) { retireCell(p, cell); });
  computeLayout();
  updateVisibleViews();
}

void UICollectionView::scrollToItemAtIndexPath(const NSIndexPath& path, UICollectionViewScrollPosition position,
                                               bool animated) {
  CGRect f = frameForItemAtIndexPath(path);
  if (f.isEmpty()) return;
  CGSize v = viewportSize();
  UIEdgeInsets in = adjustedContentInset();
  CGPoint offset = contentOffset();
  if (position & UICollectionViewScrollPositionLeft) offset.x = f.minX() - in.left;
  else if (position & UICollectionViewScrollPositionCenteredHorizontally) offset.x = f.midX() - v.width / 2;
  else if (position & UICollectionViewScrollPositionRight) offset.x = f.maxX() - v.width + in.right;
  if (position & UICollectionViewScrollPositionTop) offset.y = f.minY() - in.top;
  else if (position & UICollectionViewScrollPositionCenteredVertically) offset.y = f.midY() - v.height / 2;
  else if (position & UICollectionViewScrollPositionBottom) offset.y = f.maxY() - v.height + in.bottom;
  if (position == UICollectionViewScrollPositionNone) {
    // Only as far as it takes to show the item whole.
    if (f.minX() < offset.x) offset.x = f.minX();
    else if (f.maxX() > offset.x + v.width) offset.x = f.maxX() - v.width;
    if (f.minY() < offset.y) offset.y = f.minY();
    else if (f.maxY() > offset.y + v.height) offset.y = f.maxY() - v.height;
  }
  CGPoint lo = minimumContentOffset(), hi = maximumContentOffset();
  offset.x = std::clamp(offset.x, lo.x, std::max(lo.x, hi.x));
  offset.y = std::clamp(offset.y, lo.y, std::max(lo.y, hi.y));
  setContentOffset(offset, animated);
}
