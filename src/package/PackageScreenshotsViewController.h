#pragma once
// A package's screenshots full size, one page each, in the order of their places in the
// package's list; presented by the package page with "Close".
#include <map>
#include <memory>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UICollectionView.h"

class UIImage;

class PackageScreenshotsViewController : public KVPalettedViewController,
                                         public UICollectionViewDataSource,
                                         public UICollectionViewDelegate {
 public:
  using Images = std::map<long, std::shared_ptr<UIImage>>;
  PackageScreenshotsViewController(KVScreenContext context, Images screenshotsDictionary);
  ~PackageScreenshotsViewController() override;

  const Images& screenshotsDictionary() const { return screenshotsDictionary_; }
  UICollectionView* screenshotsCollectionView() const { return screenshotsCollectionView_; }
  // The screenshot of page `item`: the held ones in ascending order of place.
  std::shared_ptr<UIImage> screenshotForItem(long item) const;

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void dismissVC();

  long collectionViewNumberOfItemsInSection(UICollectionView&, long) override;
  std::shared_ptr<UICollectionViewCell> collectionViewCellForItemAtIndexPath(UICollectionView& view,
                                                                             const NSIndexPath& path) override;
  CGSize collectionViewSizeForItemAtIndexPath(UICollectionView& view, const NSIndexPath&) override;
  double collectionViewMinimumLineSpacingForSectionAtIndex(UICollectionView&, long) override { return 0; }

 private:
  KVScreenContext context_;
  Images screenshotsDictionary_;
  UICollectionView* screenshotsCollectionView_ = nullptr;
};
