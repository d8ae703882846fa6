#pragma once
// A collection: sections of items from a data source, placed by a flow layout, with the
// cells of the items inside the viewport taken from a reuse pool.
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UICollectionViewCell.h"
#include "uikit/UICollectionViewFlowLayout.h"
#include "uikit/UIReusePool.h"
#include "uikit/UIScrollView.h"

class UICollectionView;

class UICollectionViewDataSource {
 public:
  virtual ~UICollectionViewDataSource() = default;
  virtual long numberOfSectionsInCollectionView(UICollectionView&) { return 1; }
  virtual long collectionViewNumberOfItemsInSection(UICollectionView&, long section) = 0;
  virtual std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView&,
                                                                                     const NSIndexPath&) = 0;
};

// The collection delegate together with the flow layout's delegate.
class UICollectionViewDelegate : public UIScrollViewDelegate {
 public:
  virtual bool collectionViewShouldSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) { return true; }
  virtual void collectionViewDidSelectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
  virtual void collectionViewDidDeselectItemAtIndexPath(UICollectionView&, const NSIndexPath&) {}
  virtual void collectionViewWillDisplayCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath&) {}
  virtual void collectionViewDidEndDisplayingCell(UICollectionView&, UICollectionViewCell&, const NSIndexPath&) {}
  virtual CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& collectionView, const NSIndexPath&);
  virtual UIEdgeInsets collectionViewInsetForSectionAtIndex(UICollectionView& collectionView, long section);
  virtual double collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView& collectionView, long section);
  virtual double collectionViewMinimumInteritemSpacingForSectionAtIndex(UICollectionView& collectionView, long section);
};

class UICollectionView : public UIScrollView {
 public:
  using CellFactory = std::function<std::shared_ptr<UICollectionViewCell>()>;
  explicit UICollectionView(CGRect frame = {}, UICollectionViewFlowLayout layout = {});
  ~UICollectionView() override;

  UICollectionViewFlowLayout& collectionViewLayout() { return layout_; }
  const UICollectionViewFlowLayout& collectionViewLayout() const { return layout_; }
  void setCollectionViewLayout(UICollectionViewFlowLayout layout);
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

  void reloadData();
  void insertItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }
  void deleteItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }
  void reloadItemsAtIndexPaths(const std::vector<NSIndexPath>&) { reloadData(); }
  void reloadSections(const std::vector<long>&) { reloadData(); }
  void performBatchUpdates(const std::function<void()>& updates, std::function<void(bool)> completion = {});

  long numberOfSections();
  long numberOfItemsInSection(long section);
  CGRect frameForItemAtIndexPath(const NSIndexPath& path);
  std::shared_ptr<UICollectionViewCell> cellForItemAtIndexPath(const NSIndexPath& path);
  std::vector<NSIndexPath> indexPathsForVisibleItems();
  std::vector<std::shared_ptr<UICollectionViewCell>> visibleCells();
  std::optional<NSIndexPath> indexPathForCell(const UICollectionViewCell* cell);
  void scrollToItemAtIndexPath(const NSIndexPath& path, bool animated);
  std::vector<NSIndexPath> indexPathsForSelectedItems() const { return selected_; }
  void selectItemAtIndexPath(const NSIndexPath& path, bool animated);
  void deselectItemAtIndexPath(const NSIndexPath& path, bool animated);

  bool selectItemByUser(const NSIndexPath& path);
  void layoutSubviews() override;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 protected:
  void contentOffsetDidChange() override;

 private:
  void ensureLoaded();
  void computeLayout();
  void updateVisibleCells();
  void retireCell(const NSIndexPath& path, std::shared_ptr<UICollectionViewCell> cell);
  CGSize viewportSize() const;

  UICollectionViewFlowLayout layout_;
  UICollectionViewDataSource* dataSource_ = nullptr;
  UICollectionViewDelegate* delegate_ = nullptr;
  bool allowsSelection_ = true;
  UIReusePool<UICollectionViewCell> pool_;
  std::map<NSIndexPath, std::shared_ptr<UICollectionViewCell>> visible_;
  std::vector<std::vector<CGRect>> frames_;
  std::vector<NSIndexPath> selected_;
  bool needsReload_ = true;
};
