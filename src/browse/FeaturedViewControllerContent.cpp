// The featured screen's content: the vendor's lists joined with the database, the banner
// pictures from the "HomeCache" folder or their addresses, and the apply step that hands
// the screen a load's snapshot on the main thread.
#include <algorithm>
#include <mutex>

#include "account/KVFeaturedPackagesMethods.h"
#include "browse/FeaturedViewController.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/ImageLoader.h"
#include "uikit/UIImage.h"
#include "uikit/UIScrollView.h"

// One reading of the vendor's lists. Written by the loading thread and the banner
// downloads, under its lock; the screen takes a copy on the main thread.
struct FeaturedViewController::Load {
  std::mutex mutex;
  std::vector<KVFeaturedPackagesTop> banners;
  std::map<long, std::shared_ptr<UIImage>> images;
  std::array<std::vector<std::string>, kCardCount> lists;
  size_t started = 0, ended = 0;
  bool loopDone = false;
  // The cards' rebuild count when the load began: lists rebuilt since are newer than its.
  size_t cardsGeneration = 0;
};

namespace {
// The identifiers of a vendor list that the database holds, in the vendor's order.
template <typename Item>
std::vector<std::string> localPackages(const std::optional<std::vector<Item>>& items) {
  std::vector<std::string> identifiers;
  if (!items) return identifiers;
  for (const Item& item : *items)
    if (item.bundle_id && KVRPackage::objectForPrimaryKey(*item.bundle_id)) identifiers.push_back(*item.bundle_id);
  return identifiers;
}

// The four vendor lists in the cards' order, as identifier lists; `only` picks some.
std::array<std::optional<std::vector<std::string>>, FeaturedViewController::kCardCount> cardLists(
    const std::array<bool, FeaturedViewController::kCardCount>& only) {
  auto& vendor = KVFeaturedPackagesMethods::instance();
  std::array<std::optional<std::vector<std::string>>, FeaturedViewController::kCardCount> lists;
  if (only[0]) lists[0] = localPackages(vendor.packagesMiddle());
  if (only[1]) lists[1] = localPackages(vendor.mustHaveTweaks());
  if (only[2]) lists[2] = localPackages(vendor.mustHaveThemes());
  if (only[3]) lists[3] = localPackages(vendor.extendApps());
  return lists;
}

std::array<size_t, FeaturedViewController::kCardCount> vendorLengths() {
  auto& vendor = KVFeaturedPackagesMethods::instance();
  return {vendor.packagesMiddle().value_or(std::vector<KVFeaturedPackagesMiddle>{}).size(),
          vendor.mustHaveTweaks().value_or(std::vector<KVFeaturedPackagesMustHaveTweaks>{}).size(),
          vendor.mustHaveThemes().value_or(std::vector<KVFeaturedPackagesMustHaveThemes>{}).size(),
          vendor.extendApps().value_or(std::vector<KVFeaturedPackagesExtendApps>{}).size()};
}

std::string cacheFolder() { return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport) + "/HomeCache"; }
}  // namespace

std::optional<std::string> FeaturedViewController::bannerCachePath(const std::string& address) {
  std::string name = address;
  for (char& c : name)
    if (c == '/') c = '_';
  // The name is the vendor's text: it must stay one entry of the folder.
  if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos) return std::nullopt;
  return cacheFolder() + "/" + name;
}

void FeaturedViewController::loadInformationsFromBackground() {
  auto load = std::make_shared<Load>();
  load->cardsGeneration = cardsGeneration_;
  load_ = load;
  featuredCollectionViewPage_ = 0;
  performOnDefaultThread([load, weak = weakSelf(this)] {
    auto lists = cardLists({true, true, true, true});
    std::vector<KVFeaturedPackagesTop> banners = KVFeaturedPackagesMethods::instance().packagesTop().value_or(
        std::vector<KVFeaturedPackagesTop>{});
    {
      std::lock_guard<std::mutex> lock(load->mutex);
      for (size_t c = 0; c < kCardCount; ++c) load->lists[c] = std::move(*lists[c]);
      load->banners = banners;
    }
    auto applyOnMain = [load, weak] {
      performOnMainThread([load, weak] {
        if (auto self = weak.lock()) self->apply(load);
      });
    };
    auto setContentOnMain = [weak] {
      performOnMainThread([weak] {
        if (auto self = weak.lock()) self->setContent();
      });
    };
    auto fallback = UIImage::imageNamed("default-banner.jpeg");
    for (size_t i = 0; i < banners.size(); ++i) {
      const std::string address = banners[i].background.value_or("");
      std::optional<std::string> path = bannerCachePath(address);
      if (path && Files::exists(*path)) {
        // A cached file that no longer decodes leaves its banner without a picture.
        if (auto image = UIImage::imageWithContentsOfFile(*path)) {
          std::lock_guard<std::mutex> lock(load->mutex);
          load->images[long(i)] = image;
        }
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(load->mutex);
        if (fallback) load->images[long(i)] = fallback;
      }
      auto url = URL::fromString(address);
      if (!url || (url->scheme() != "http" && url->scheme() != "https")) {
        setContentOnMain();
        continue;
      }
      {
        std::lock_guard<std::mutex> lock(load->mutex);
        ++load->started;
      }
      // The pictures are shown once every download has ended, whichever ends last.
      auto ended = [load, applyOnMain] {
        bool last;
        {
          std::lock_guard<std::mutex> lock(load->mutex);
          ++load->ended;
          last = load->loopDone && load->ended == load->started;
        }
        if (last) applyOnMain();
      };
      auto arrived = [load, i, path, ended, setContentOnMain](std::shared_ptr<UIImage> image, ErrorRef) {
        if (!image) {
          // Not reached, or no picture: the stand-in stays and nothing is cached.
          setContentOnMain();
          ended();
          return;
        }
        {
          std::lock_guard<std::mutex> lock(load->mutex);
          load->images[long(i)] = image;
        }
        // Written away from the main thread, before the banner counts as ended.
        performOnDefaultThread([image, path, ended] {
          auto png = UIImagePNGRepresentation(*image);
          std::string why;
          if (path && png &&
              !((Files::isDirectory(cacheFolder()) || DeviceFiles::createFolder(cacheFolder(), &why)) &&
                DeviceFiles::writeAtomically(*path, *png, &why)))
            KVLog("The featured banner could not be cached: %s", why.c_str());
          ended();
        });
      };
      ImageLoader::shared().loadImage(*url, load, arrived);
    }
    {
      std::lock_guard<std::mutex> lock(load->mutex);
      load->loopDone = true;
    }
    applyOnMain();
    setContentOnMain();
  });
}

void FeaturedViewController::apply(const std::shared_ptr<Load>& load) {
  if (load != load_ || !isViewLoaded()) return;  // a newer load has begun
  {
    std::lock_guard<std::mutex> lock(load->mutex);
    banners_ = load->banners;
    images_ = load->images;
    // A source refreshed while the pictures loaded has rebuilt the cards already.
    if (load->cardsGeneration == cardsGeneration_) lists_ = load->lists;
  }
  stopScrolling();
  view()->setNeedsLayout();  // the carousel takes room once it has banners
  view()->layoutIfNeeded();
  UIView::animateWithDuration(0.3, [this] {
    carousel_->reloadData();
    for (size_t c = 0; c < kCardCount; ++c) {
      cards_[c].height->setConstant(70 * static_cast<double>(lists_[c].size()));
      cards_[c].table->reloadData();
    }
    layoutPage();
    updateShadows();
  });
  if (!timer_) startTimer();
}

void FeaturedViewController::retrieveFeaturedPackages() {
  if (isScrolling_ || rebuildingCache_) return;
  rebuildingCache_ = true;
  needCacheRebuild_ = false;
  std::array<size_t, kCardCount> shown;
  for (size_t c = 0; c < kCardCount; ++c) shown[c] = lists_[c].size();
  performOnDefaultThread([weak = weakSelf(this), shown] {
    // A card is rebuilt when its length differs from its vendor list's.
    auto lengths = vendorLengths();
    std::array<bool, kCardCount> stale;
    for (size_t c = 0; c < kCardCount; ++c) stale[c] = shown[c] != lengths[c];
    auto rebuilt = cardLists(stale);
    performOnMainThread([weak, rebuilt] {
      if (auto self = weak.lock()) self->cardsRebuilt(rebuilt);
    });
  });
  rebuildingCache_ = false;
}

void FeaturedViewController::cardsRebuilt(std::array<std::optional<std::vector<std::string>>, kCardCount> rebuilt) {
  if (!isViewLoaded()) return;
  if (std::any_of(rebuilt.begin(), rebuilt.end(), [](const auto& list) { return list.has_value(); })) ++cardsGeneration_;
  for (size_t c = 0; c < kCardCount; ++c) {
    if (!rebuilt[c]) continue;
    lists_[c] = std::move(*rebuilt[c]);
    cards_[c].table->reloadData();
  }
  UIView::animateWithDuration(0.3, 0, UIViewAnimationOptionBeginFromCurrentState | UIViewAnimationOptionAllowUserInteraction,
                              [this] {
                                for (size_t c = 0; c < kCardCount; ++c)
                                  cards_[c].height->setConstant(70 * static_cast<double>(lists_[c].size()));
                                updateShadows();
                                layoutPage();
                              });
}
