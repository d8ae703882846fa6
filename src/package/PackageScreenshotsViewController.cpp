#include "package/PackageScreenshotsViewController.h"

#include <iterator>
#include <string>

#include "foundation/LocalizedStrings.h"
#include "package/ScreenshotsCell.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImageView.h"

PackageScreenshotsViewController::PackageScreenshotsViewController(KVScreenContext context, Images screenshotsDictionary)
    : context_(std::move(context)), screenshotsDictionary_(std::move(screenshotsDictionary)) {}

PackageScreenshotsViewController::~PackageScreenshotsViewController() {
  if (!screenshotsCollectionView_) return;
  screenshotsCollectionView_->setDataSource(nullptr);
  screenshotsCollectionView_->setCollectionDelegate(nullptr);
}

// The interface file: one collection over the whole screen, a page per screenshot.
void PackageScreenshotsViewController::loadView() {
  KVPalettedViewController::loadView();
  UICollectionViewFlowLayout layout;
  layout.scrollDirection = UICollectionViewScrollDirectionHorizontal;
  layout.minimumLineSpacing = 0;
  auto collection = std::make_shared<UICollectionView>(view()->bounds(), layout);
  collection->setPagingEnabled(true);
  collection->setShowsHorizontalScrollIndicator(false);
  view()->addSubview(collection);
  screenshotsCollectionView_ = collection.get();
}

void PackageScreenshotsViewController::viewDidLoad() {
  navigationItem().setTitle(NSLocalizedString("Screenshots"));
  setTitle(NSLocalizedString("Screenshots"));
  auto close = UIBarButtonItem::itemWithTitle(NSLocalizedString("Close"), UIBarButtonItemStylePlain,
                                              [this](UIBarButtonItem&) { dismissVC(); });
  close->setTintColor(UIColor::colorWithRed(0, 0.67, 0.88, 1));
  navigationItem().setLeftBarButtonItem(close);
  screenshotsCollectionView_->setDataSource(this);
  screenshotsCollectionView_->setCollectionDelegate(this);
  screenshotsCollectionView_->registerNib("ScreenshotsCell", "cell");
  screenshotsCollectionView_->setBackgroundColor(UIColor::clearColor());
  KVPalettedViewController::viewDidLoad();
}

void PackageScreenshotsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette && isViewLoaded()) view()->setBackgroundColor(palette->backgroundColor());
}

void PackageScreenshotsViewController::dismissVC() { dismissViewControllerAnimated(true); }

std::shared_ptr<UIImage> PackageScreenshotsViewController::screenshotForItem(long item) const {
  if (item < 0 || static_cast<size_t>(item) >= screenshotsDictionary_.size()) return nullptr;
  return std::next(screenshotsDictionary_.begin(), item)->second;
}

long PackageScreenshotsViewController::collectionViewNumberOfItemsInSection(UICollectionView&, long) {
  return static_cast<long>(screenshotsDictionary_.size());
}

std::shared_ptr<UICollectionViewCell> PackageScreenshotsViewController::collectionViewCellForItemAtIndexPath(
    UICollectionView& view, const NSIndexPath& path) {
  auto cell = view.dequeueReusableCellWithReuseIdentifier("cell", path);
  if (auto shot = std::dynamic_pointer_cast<ScreenshotsCell>(cell))
    shot->setScreenshot(screenshotForItem(path.item()),
                        NSLocalizedFormat("Screenshot %@ of %@", {std::to_string(path.item() + 1),
                                                                  std::to_string(screenshotsDictionary_.size())}));
  return cell;
}

// Each page is exactly as large as the collection.
CGSize PackageScreenshotsViewController::collectionViewSizeForItemAtIndexPath(UICollectionView& view,
                                                                              const NSIndexPath&) {
  return view.bounds().size;
}
