#include "browse/FeaturedPackageViewController.h"

#include "core/KVShareLinks.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "markdown/MDExtensions.h"
#include "markdown/MDMarkdown.h"
#include "richtext/NSAttributedStringHTML.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
constexpr double kMargin = 16;

std::shared_ptr<NSLayoutConstraint> sizeConstraint(UIView* view, NSLayoutAttribute attribute, double constant) {
  return NSLayoutConstraint::constraintWithItem({view, nullptr}, attribute, NSLayoutRelationEqual, {},
                                                NSLayoutAttributeNotAnAttribute, 1, constant);
}

}  // namespace

FeaturedPackageViewController::FeaturedPackageViewController(KVScreenContext context, KVFeaturedPackagesTop package,
                                                             std::shared_ptr<UIImage> bannerImage)
    : context_(std::move(context)), package_(std::move(package)), bannerImage_(std::move(bannerImage)) {
  setTitle(package_.title.value_or(""));
}

// ---- The card

void FeaturedPackageViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  scrollView_ = std::make_shared<UIScrollView>(screen);
  view()->addSubview(scrollView_);
  headerBackground_ = std::make_shared<UIView>();
  closeBtn_ = UIButton::buttonWithType(UIButtonTypeSystem);
  closeBtn_->setTitle(NSLocalizedString("Close"));
  closeBtn_->addTarget(this, [this](UIControl&) { close(); }, UIControlEventTouchUpInside);
  imageView_ = std::make_shared<UIImageView>();
  nameLbl_ = std::make_shared<UILabel>();
  nameLbl_->setFont(UIFont::boldSystemFontOfSize(28));
  authorLbl_ = std::make_shared<UILabel>();
  authorLbl_->setFont(UIFont::systemFontOfSize(17));
  getBtn_ = UIButton::buttonWithType(UIButtonTypeCustom);
  getBtn_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(13));
  getBtn_->addTarget(this, [this](UIControl&) { getPackage(); }, UIControlEventTouchUpInside);
  shareBtn_ = UIButton::buttonWithType(UIButtonTypeSystem);
  shareBtn_->setTitle(NSLocalizedString("Share"));
  shareBtn_->addTarget(this, [this](UIControl&) { share(); }, UIControlEventTouchUpInside);
  descriptionLbl_ = std::make_shared<UILabel>();
  descriptionLbl_->setNumberOfLines(0);
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{
           headerBackground_, closeBtn_, imageView_, nameLbl_, authorLbl_, getBtn_, shareBtn_, descriptionLbl_})
    scrollView_->addSubview(v);
  getBtnWidth_ = sizeConstraint(getBtn_.get(), NSLayoutAttributeWidth, 80);
  double side = (screen.width() - 32) / 1.5;
  imageWidth_ = sizeConstraint(imageView_.get(), NSLayoutAttributeWidth, side);
  imageHeight_ = sizeConstraint(imageView_.get(), NSLayoutAttributeHeight, side);
}

void FeaturedPackageViewController::layoutCard() {
  CGRect bounds = view()->bounds();
  double width = bounds.width();
  scrollView_->setFrame(bounds);
  headerBackground_->setFrame(CGRect::make(0, 0, width, 60));
  closeBtn_->setFrame(CGRect::make(kMargin, 16, 60, 30));
  shareBtn_->setFrame(CGRect::make(width - kMargin - 60, 16, 60, 30));
  double side = imageWidth_->constant();
  imageView_->setFrame(CGRect::make((width - side) / 2, 70, side, imageHeight_->constant()));
  double y = 70 + imageHeight_->constant() + 20;
  double button = getBtnWidth_->constant();
  nameLbl_->setFrame(CGRect::make(kMargin, y, std::max(0.0, width - 3 * kMargin - button), 34));
  getBtn_->setFrame(CGRect::make(width - kMargin - button, y + 2, button, 30));
  authorLbl_->setFrame(CGRect::make(kMargin, y + 36, width - 2 * kMargin, 22));
  y += 70;
  CGSize text = descriptionLbl_->sizeThatFits({width - 2 * kMargin, 0});
  descriptionLbl_->setFrame(CGRect::make(kMargin, y, width - 2 * kMargin, text.height));
  scrollView_->setContentSize({width, y + text.height + 40});
}

void FeaturedPackageViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void FeaturedPackageViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  setContent();
}

void FeaturedPackageViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutCard();
}

void FeaturedPackageViewController::setContent() {
  pack_ = KVRPackage::objectForPrimaryKey(package_.bundle_id.value_or(""));
  authorLbl_->setText(package_.developer.value_or(""));
  nameLbl_->setText(package_.title.value_or(""));
  nameLbl_->setAdjustsFontSizeToFitWidth(true);
  std::string title = "GET";
  if (pack_ && pack_->isUpdated().value_or(false) && !pack_->isHeld().value_or(false)) title = "UPDATE";
  else if (pack_ && pack_->isInstalled().value_or(false)) title = "UNINSTALL";
  getBtn_->setTitle(NSLocalizedString(title));
  // The button is as wide as its own title.
  RunLoop::main().post([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    self->getBtnWidth_->setConstant(UIFont::boldSystemFontOfSize(13).widthOfString(self->getBtn_->currentTitle()) + 34);
    self->view()->layoutIfNeeded();
    self->layoutCard();
  });
  getBtn_->layer().cornerRadius = getBtn_->frame().height() / 2;
  imageView_->setImage(bannerImage_);
  double side = (UIScreen::mainScreen().bounds().width() - 32) / 1.5;
  imageWidth_->setConstant(side);
  imageHeight_->setConstant(side);
  imageView_->layer().cornerRadius = 20;
  imageView_->layer().borderWidth = 1;
  imageView_->layer().borderColor = UIColor::clearColor();
  imageView_->setClipsToBounds(true);
  descriptionLbl_->setAttributedText(attributedTextFromMarkdown(package_.desc));
  layoutCard();
}

NSAttributedString FeaturedPackageViewController::attributedTextFromMarkdown(const std::optional<std::string>& markdown) {
  if (!markdown) return {};
  std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(*markdown, markdown::MDExtensionAll);
  NSAttributedString text = NSAttributedStringHTML::attributedStringWithHTML(
      "<span style=\"font-family: -apple-system; font-size: 17.0; color:#707070\">" + html + "</span>");
  NSAttributedStringHTML::removeUnderlinesFromAddresses(text);
  return text;
}

// ---- Actions

void FeaturedPackageViewController::close() { dismissViewControllerAnimated(true); }

void FeaturedPackageViewController::backSwipe() { dismissViewControllerAnimated(true); }

void FeaturedPackageViewController::getPackage() {
  pack_ = KVRPackage::objectForPrimaryKey(package_.bundle_id.value_or(""));
  if (!pack_) {
    showCard(NSLocalizedString("Package not Found"),
             NSLocalizedString("Package not found in the database. Please refresh your sources and try again."));
    return;
  }
  // The queue changes only once the card is gone.
  dismissViewControllerAnimated(true, [actions = context_.actions, identifier = pack_->identifier()] {
    actions->queuePackageWithIdentifier(identifier, std::nullopt, {});
  });
}

void FeaturedPackageViewController::share() {
  pack_ = KVRPackage::objectForPrimaryKey(package_.bundle_id.value_or(""));
  if (!pack_) {
    showCard(NSLocalizedString("Incompatible Package"),
             NSLocalizedString("This package is not compatible with your device and so can't be shared."));
    return;
  }
  const std::string location = pack_->sourceLocation().value_or("");
  auto source = KVRSource::objectForPrimaryKey(location);
  const std::string name = pack_->name().value_or("");
  std::string text = NSLocalizedFormat(
      "Check out the featured package \"%@\" by %@ from the source %@ on Quillbark !%@(See the package : "
      "quillbark://show/shared=Quillbark&name=%@&bundleid=%@&repo=%@)",
      {name, pack_->maintainer().value_or(""), source ? source->name().value_or("") : std::string(), "\n",
       KVShareLinks::linkName(name), KVShareLinks::queryValue(pack_->identifier()), KVShareLinks::queryValue(location)});
  std::vector<UIActivityItem> items{UIActivityItem::withText(text)};
  if (auto icon = KVRPackages::iconForIdentifier(pack_->identifier())) items.push_back(UIActivityItem::withImage(icon));
  // The screenshots load off the main thread; the sheet comes once they have.
  context_.actions->shareAlertWithItemsAndImages(std::move(items), pack_->screenshots(), std::nullopt, shareBtn_.get());
}

void FeaturedPackageViewController::showCard(const std::string& title, const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->showWithTitle(title, message, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  card_ = card;
  presentViewController(card, true);
}

void FeaturedPackageViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  nameLbl_->setTextColor(palette->primaryTextColor());
  getBtn_->setBackgroundColor(palette->getButtonBackgoundColor());
  getBtn_->setTitleColor(palette->getButtonTextColor());
}
