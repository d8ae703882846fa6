#include "account/NewsDetailsViewController.h"

#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/URL.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "foundation/WeakSelf.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UIFont.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
constexpr double kMargin = 16;
}

NewsDetailsViewController::NewsDetailsViewController(KVNews news) : news_(std::move(news)) {}

// The interface file "NewsDetailsViewController": Close at the top, the title, author and
// date, the banner at the screen's width less the margins, then the text.
void NewsDetailsViewController::loadView() {
  KVPalettedViewController::loadView();
  double width = UIScreen::mainScreen().bounds().width() - 2 * kMargin;
  auto close = UIButton::buttonWithType(UIButtonTypeSystem);
  close->setFrame(CGRect::make(kMargin, 44, 80, 30));
  close->setTitle(NSLocalizedString("Close"));
  close->addTarget(this, [this](UIControl&) { this->close(); }, UIControlEventTouchUpInside);
  auto label = [&](CGRect frame, UIFont font) {
    auto made = std::make_shared<UILabel>(frame);
    made->setFont(std::move(font));
    view()->addSubview(made);
    return made.get();
  };
  view()->addSubview(close);
  closeBtn_ = close.get();
  titleLbl_ = label(CGRect::make(kMargin, 84, width, 30), UIFont::boldSystemFontOfSize(24));
  authorLbl_ = label(CGRect::make(kMargin, 118, width / 2, 20), UIFont::systemFontOfSize(14));
  dateLbl_ = label(CGRect::make(kMargin + width / 2, 118, width / 2, 20), UIFont::systemFontOfSize(14));
  dateLbl_->setTextAlignment(NSTextAlignmentRight);
  auto image = std::make_shared<UIImageView>();
  image->setFrame(CGRect::make(kMargin, 146, width, width / kBannerAspect));
  view()->addSubview(image);
  imageView_ = image.get();
  imageViewHeight_ = image->heightAnchor().constraintEqualToConstant(width / kBannerAspect);
  imageViewHeight_->setActive(true);
  newsContentLbl_ = label(CGRect::make(kMargin, 162 + width / kBannerAspect, width, 300), UIFont::systemFontOfSize(16));
  newsContentLbl_->setNumberOfLines(0);
}

void NewsDetailsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void NewsDetailsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  setContent();
}

void NewsDetailsViewController::setContent() {
  titleLbl_->setText(news_.title.value_or(""));
  authorLbl_->setText(NSLocalizedFormat("by %@", {news_.author.value_or("")}));
  dateLbl_->setText(news_.date.value_or(""));
  std::optional<URL> banner = news_.banner ? URL::fromString(*news_.banner) : std::nullopt;
  performOnDefaultThread([weak = weakSelf(this), banner] {
    auto arrived = [weak](std::shared_ptr<UIImage> image) {
      performOnMainThread([weak, image] {
        if (auto self = weak.lock()) self->bannerArrived(image);
      });
    };
    if (!banner || !banner->isHTTP()) return arrived(nullptr);
    URLRequest request(*banner);
    request.setReplyLimits(URLReplyKinds::kImage);
    URLSession::sharedSession()
        ->dataTaskWithRequest(request,
                              [arrived](std::optional<Data> data, URLResponseRef, ErrorRef error) {
                                arrived(!error && data ? UIImage::imageWithData(*data) : nullptr);
                              })
        ->resume();
  });
  double width = UIScreen::mainScreen().bounds().width() - 2 * kMargin;
  imageViewHeight_->setConstant(width / kBannerAspect);
  imageView_->layer().cornerRadius = 20;
  imageView_->layer().borderWidth = 1;
  imageView_->layer().borderColor = UIColor::clearColor();
  imageView_->setClipsToBounds(true);
  newsContentLbl_->setText(news_.content.value_or(""));
}

void NewsDetailsViewController::bannerArrived(std::shared_ptr<UIImage> image) {
  // What gives no picture (no address, a failed download, bytes that are no image)
  // shows the default banner.
  imageView_->setImage(image ? image : UIImage::imageNamed(kDefaultBanner));
  imageView_->setAccessibilityLabel(NSLocalizedString(image ? "Banner" : "Default banner"));
}

void NewsDetailsViewController::close() { dismissViewControllerAnimated(true); }

void NewsDetailsViewController::backSwipe() { dismissViewControllerAnimated(true); }

void NewsDetailsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  if (titleLbl_) titleLbl_->setTextColor(palette->primaryTextColor());
}
