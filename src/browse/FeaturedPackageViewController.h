#pragma once
// A featured banner on a card of its own, presented modally by whoever has the banner and
// its picture: the picture, the package's name and developer, the banner's description
// read from Markdown (grey 17-point text, links not underlined), a button as wide as its
// title ("GET", "UPDATE" or "UNINSTALL") that closes the card and then queues the
// package, and a share button. It closes itself ("Close", or a right swipe). No screen
// of the application presents it.
#include <memory>
#include <optional>
#include <string>

#include "account/KVFeaturedPackagesTop.h"
#include "database/KVRPackage.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/NSAttributedString.h"

class NSLayoutConstraint;
class UIButton;
class UIImage;
class UIImageView;
class UILabel;
class UIScrollView;

class FeaturedPackageViewController : public KVPalettedViewController {
 public:
  FeaturedPackageViewController(KVScreenContext context, KVFeaturedPackagesTop package, std::shared_ptr<UIImage> bannerImage);

  const KVFeaturedPackagesTop& package() const { return package_; }
  void setPackage(KVFeaturedPackagesTop package) { package_ = std::move(package); }
  const std::shared_ptr<UIImage>& bannerImage() const { return bannerImage_; }
  void setBannerImage(std::shared_ptr<UIImage> image) { bannerImage_ = std::move(image); }
  // The record of the banner's package, as the last fill, GET or share found it.
  const std::optional<KVRPackage>& pack() const { return pack_; }

  UIScrollView* scrollView() const { return scrollView_.get(); }
  UIButton* closeBtn() const { return closeBtn_.get(); }
  UILabel* authorLbl() const { return authorLbl_.get(); }
  UILabel* nameLbl() const { return nameLbl_.get(); }
  UIButton* getBtn() const { return getBtn_.get(); }
  NSLayoutConstraint* getBtnWidthConstraint() const { return getBtnWidth_.get(); }
  UIImageView* imageView() const { return imageView_.get(); }
  NSLayoutConstraint* imageViewWidthConstraint() const { return imageWidth_.get(); }
  NSLayoutConstraint* imageViewHeightConstraint() const { return imageHeight_.get(); }
  UILabel* featuredDescriptionLbl() const { return descriptionLbl_.get(); }
  UIButton* shareBtn() const { return shareBtn_.get(); }

  void setContent();
  // The description: Markdown with every extension of the mask 873, as HTML read into
  // grey 17-point system text whose web addresses keep their links but lose their
  // underlines; nothing gives the empty text.
  static NSAttributedString attributedTextFromMarkdown(const std::optional<std::string>& markdown);

  void close();
  void backSwipe();
  void getPackage();
  // The share sheet anchored at the share button, once the screenshots have loaded away
  // from the main thread.
  void share();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidLayoutSubviews() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  void showCard(const std::string& title, const std::string& message);
  void layoutCard();

  KVScreenContext context_;
  KVFeaturedPackagesTop package_;
  std::shared_ptr<UIImage> bannerImage_;
  std::optional<KVRPackage> pack_;
  std::shared_ptr<UIViewController> card_;

  std::shared_ptr<UIScrollView> scrollView_;
  std::shared_ptr<UIView> headerBackground_;
  std::shared_ptr<UIButton> closeBtn_, getBtn_, shareBtn_;
  std::shared_ptr<UILabel> authorLbl_, nameLbl_, descriptionLbl_;
  std::shared_ptr<UIImageView> imageView_;
  std::shared_ptr<NSLayoutConstraint> getBtnWidth_, imageWidth_, imageHeight_;
};
