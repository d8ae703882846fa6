#pragma once
// A collection: sections of items from a data source, placed by a flow layout
// (vertical or horizontal), each section with an optional header and footer view, and
// the views of what lies inside the viewport taken from reuse pools. Item changes are
// applied one by one or in batches, checked against the data source as a table's are.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "uikit/UICollectionViewCell.h"
#include "uikit/UICollectionViewFlowLayout.h"
#include "uikit/UIIndexPathUpdates.h"
#include "uikit/UIReusePool.h"
#include "uikit/UIScrollView.h"

class UICollectionView;

inline const std::string UICollectionElementKindSectionHeader = "UICollectionElementKindSectionHeader";
inline const std::string UICollectionElementKindSectionFooter = "UICollectionElementKindSectionFooter";

enum UICollectionViewScrollPosition : unsigned long {
  UICollectionViewScrollPositionNone = 0,
  UICollectionViewScrollPositionTop = 1 << 0,
  UICollectionViewScrollPositionCenteredVertically = 1 << 1,
  UICollectionViewScrollPositionBottom = 1 << 2,
  UICollectionViewScrollPositionLeft = 1 << 3,
  UICollectionViewScrollPositionCenteredHorizontally = 1 << 4,
  UICollectionViewScrollPositionRight = 1 << 5,
};

class UICollectionViewDataSource {
 public:
  virtual ~UICollectionViewDataSource() = default;
  virtual long numberOfSectionsInCollectionView(UICollectionView&) { return 1; }
  virtual long collectionViewNumberOfItemsInSection(UICollectionView&, long section) = 0;
  virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView&,
                                                                                     const NSIndexPath&) = 0;
  // A section's header or footer (kind), asked only when its reference size is not
  // zero; the index path's item is 0.
  virtual std::shared_ptr<UICollectionReusableView> collectionViewViewForSupplementaryElementOfKind(
      UICollectionView&, const std::string& /*kind*/, const NSIndexPath&) {
    return nullptr;
  }
};

// The collection delegate together with the flow layout's delegate.
class UICollectionViewDelegate : public UIScrollViewDelegate {
 public:
  virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) { return true; }
  virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
  virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
  virtual void collectionViewWillDisplayCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath&) {}
  virtual void collectionViewDidEndDisplayingCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath&) {}
  virtual void collectionViewWillDisplaySupplementaryView(UICollectionView&, UICollectionReusableView&,
                                                          const std::string& /*kind*/, const NSIndexPath&) {}
  virtual CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& collectionView, const NSIndexPath&);
  virtual UIEdgeInsets collectionViewInsetForSectionAtIndex(UICollectionView& collectionView, long section);
  virtual double collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView& collectionView, long section);
  virtual double collectionViewMinimumInteritemSpacingForSectionAtIndex(UICollectionView& collectionView, long section);
  // Only the height counts in a vertical layout, only the width in a horizontal one.
  virtual CGSize collectionViewReferenceSizeForHeaderInSection(UICollectionView& collectionView, long section);
  virtual CGSize collectionViewReferenceSizeForFooterInSection(UICollectionView& collectionView, long section);
};

class UICollectionView : public UIScrollView {
 public:
  using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>()>;
  using ViewFactory = std::function<std::shared_ptr<UICollectionReusableView>()>;
  explicit UICollectionView(CGRect frame = {}, UICollectionViewFlowLayout layout = {});
  ~UICollectionView() override;

  UICollectionViewFlowLayout& collectionViewLayout() { return layout_; }
  const UICollectionViewFlowLayout& collectionViewLayout() const { return layout_; }
  void setCollectionViewLayout(UICollectionViewFlowLayout layout);
  // The layout's figures (or the delegate's answers) changed: everything is placed
  // again, keeping the data and the cells.
  void invalidateLayout();
  UICollectionViewDataSource* dataSource() const { return dataSource_; }
  void setDataSource(UICollectionViewDataSource* dataSource);
  UICollectionViewDelegate* collectionDelegate() const { return delegate_; }
  void setCollectionDelegate(UICollectionViewDelegate* delegate);
  bool allowsSelection() const { return allowsSelection_; }
  void setAllowsSelection(bool value) { allowsSelection_ = value; }

  void registerCellClass(const std::string& identifier, CellFactory factory);
  template <class Cell>
  void registerClass(const std::string& identifier) {
    registerCellClass(identifier, [] { return std::make_shared<Cell>(); });
  }
  void registerNib(const std::string& nibName, const std::string& identifier);
  std::shared_ptr<UICollectionViewCell> dequeueReusableCellWithReuseIdentifier(const std::string& identifier,
                                                                              const NSIndexPath& indexPath);
  size_t reusePoolSize(const std::string& identifier) const;

  void registerSupplementaryViewClass(const std::string& kind, const std::string& identifier, ViewFactory factory);
  template <class View>
  void registerClassForSupplementaryViewOfKind(const std::string& kind, const std::string& identifier) {
    registerSupplementaryViewClass(kind, identifier, [] { return std::make_shared<View>(); });
  }
  void registerNibForSupplementaryViewOfKind(const std::string& nibName, const std::string& kind,
                                             const std::string& identifier);
  // Never nothing: an unregistered identifier gives a plain view (and a log line)
  // where the platform would stop the process.
  std::shared_ptr<UICollectionReusableView> dequeueReusableSupplementaryViewOfKind(const std::string& kind,
                                                                                  const std::string& identifier,
                                                                                  const NSIndexPath& indexPath);

  // Data.
  void reloadData();
  void insertItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
  void deleteItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
  void reloadItemsAtIndexPaths(const std::vector<NSIndexPath>& paths);
  void reloadSections(const std::vector<long>& sections);
  void insertSections(const std::vector<long>& sections) { reloadSections(sections); }
  void deleteSections(const std::vector<long>& sections) { reloadSections(sections); }
  // The changes made inside `updates` are applied together at its end.
  void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = {});
  // Changes that did not match the data source's item counts (each fell back to a reload).
  size_t inconsistentUpdateCount() const { return inconsistencies_; }

  long numberOfSections();
  long numberOfItemsInSection(long section);
  CGRect frameForItemAtIndexPath(const NSIndexPath& path);
  // The frame of a section's header or footer; empty when it has none.
  CGRect frameForSupplementaryElementOfKind(const std::string& kind, long section);
  std::optional<NSIndexPath> indexPathForItemAtPoint(CGPoint point);
  std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(const NSIndexPath& path);
  std::vector<NSIndexPath> indexPathsForVisibleItems();
  std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells();
  std::optional<NSIndexPath> indexPathForCell(const UICollectionViewCell* cell);
  std::shared_ptr<UICollectionReusableView> supplementaryViewForElementKind(const std::string& kind,
                                                                            const NSIndexPath& path);
  std::vector<std::shared_ptr<UICollectionReusableView>> visibleSupplementaryViewsOfKind(const std::string& kind);
  // Brings the item to the given place of the viewport (within the content's bounds);
  // with no position, only as far as needed to show it whole.
  void scrollToItemAtIndexPath(const NSIndexPath& path, UICollectionViewScrollPosition position, bool animated);
  std::vector<NSIndexPath> indexPathsForSelectedItems() const { return selected_; }
  void selectItemAtIndexPath(const NSIndexPath& path, bool animated);
  void deselectItemAtIndexPath(const NSIndexPath& path, bool animated);

  bool selectItemByUser(const NSIndexPath& path);
  void layoutSubviews() override;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 protected:
  void contentOffsetDidChange() override;

 private:
  struct SectionFrames {
    CGRect header, footer;
    std::vector<CGRect> items;
  };
  using SupplementaryKey = std::pair<std::string, long>;  // kind, section

  UICollectionViewDelegate& effectiveDelegate() const;
  void ensureLoaded();
  void computeLayout();
  void updateVisibleViews();
  void updateVisibleSupplementaryViews(const CGRect& viewport);
  void retireCell(const NSIndexPath& path, std::shared_ptr<UICollectionViewCell> cell);
  void retireSupplementaryView(const SupplementaryKey& key, std::shared_ptr<UICollectionReusableView> view);
  void retireAll();
  void applyUpdates();
  CGSize viewportSize() const;

  UICollectionViewFlowLayout layout_;
  UICollectionViewDataSource* dataSource_ = nullptr;
  UICollectionViewDelegate* delegate_ = nullptr;
  bool allowsSelection_ = true;
  UIReusePool<UICollectionViewCell> pool_;
  std::map<std::string, UIReusePool<UICollectionReusableView>> supplementaryPools_;
  std::map<NSIndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
  std::map<SupplementaryKey, std::shared_ptr<UICollectionReusableView>> visibleSupplementary_;
  std::vector<SectionFrames> sections_;
  std::vector<NSIndexPath> selected_;
  bool needsReload_ = true;
  int batchDepth_ = 0;
  UIIndexPathUpdates pending_;
  size_t inconsistencies_ = 0;
};
