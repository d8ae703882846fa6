#include "package/WebDepictionViewController.h"

#include "core/KVPlatform.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/ByteCountFormatter.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NSLocale.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/PackageCell.h"
#include "interface/UIButtonGetButton.h"
#include "package/KVPackageHeaderButtons.h"
#include "package/WebViewViewController.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "webkit/WKWebView.h"

namespace {

constexpr const char* kOwnPackage = "me.korvale.quillbark";
constexpr const char* kUserAgent = "Telesphoreo APT-HTTP/1.0.592";

std::shared_ptr<NSLayoutConstraint> activate(std::shared_ptr<NSLayoutConstraint> constraint) {
  constraint->setActive(true);
  return constraint;
}

std::shared_ptr<UILabel> label(UIView* content, UIFont font, const std::string& text = {}) {
  auto l = std::make_shared<UILabel>();
  l->setFont(std::move(font));
  l->setText(text);
  l->setTranslatesAutoresizingMaskIntoConstraints(false);
  content->addSubview(l);
  return l;
}

void place(UIView* content, const std::shared_ptr<UIView>& view) {
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  content->addSubview(view);
}

bool isSmallScreen() {
  double height = UIScreen::mainScreen().bounds().height();
  return height == 568 || height == 480;
}

double titleWidth(const std::string& title) {
  UILabel measure;
  measure.setFont(UIFont::boldSystemFontOfSize(13));
  measure.setText(title);
  return title.empty() ? 0 : measure.sizeThatFits({0, 0}).width;
}

}  // namespace

WebDepictionViewController::WebDepictionViewController(KVScreenContext context, std::string packageIdentifier,
                                                       std::string websiteURL, bool isPresented)
    : context_(std::move(context)),
      packageIdentifier_(std::move(packageIdentifier)),
      websiteURL_(std::move(websiteURL)),
      isPresented_(isPresented) {}

WebDepictionViewController::~WebDepictionViewController() {
  // The observers go before the web view can report again.
  observations_.clear();
  if (webView_) {
    webView_->setNavigationDelegate(nullptr);
    webView_->setUIDelegate(nullptr);
  }
}

std::weak_ptr<WebDepictionViewController> WebDepictionViewController::weakSelf() {
  return std::static_pointer_cast<WebDepictionViewController>(shared_from_this());
}

// ---- The interface file

void WebDepictionViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  auto scroll = std::make_shared<UIScrollView>(screen);
  scroll->setAlwaysBounceVertical(true);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen: its
  // end stays where it can be scrolled to.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  outlets_.scrollView = scroll.get();
  auto content = std::make_shared<UIView>(CGRect::make(0, 0, screen.width(), screen.height()));
  scroll->addSubview(content);
  outlets_.containerView = content.get();
  buildHeader(content.get(), screen.width());
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 0, screen.width(), 2));
  progress->setAlpha(0);
  view()->addSubview(progress);
  outlets_.progressView = progress.get();
}

void WebDepictionViewController::buildHeader(UIView* content, double width) {
  auto& o = outlets_;
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 16, 80, 80));
  place(content, icon);
  activate(icon->topAnchor().constraintEqualToAnchor(content->topAnchor(), 16));
  activate(icon->leftAnchor().constraintEqualToAnchor(content->leftAnchor(), 16));
  o.iconViewWidthConstraint = activate(icon->widthAnchor().constraintEqualToConstant(80));
  o.iconViewHeightConstraint = activate(icon->heightAnchor().constraintEqualToConstant(80));
  o.iconView = icon.get();

  auto name = label(content, UIFont::boldSystemFontOfSize(24));
  name->setNumberOfLines(2);
  name->setFrame(CGRect::make(112, 16, width - 128, 0));
  activate(name->topAnchor().constraintEqualToAnchor(icon->topAnchor()));
  activate(name->leftAnchor().constraintEqualToAnchor(icon->rightAnchor(), 16));
  activate(name->rightAnchor().constraintEqualToAnchor(content->rightAnchor(), -16));
  o.nameLbl = name.get();

  auto maintainer = label(content, UIFont::systemFontOfSize(17));
  maintainer->setFrame(CGRect::make(112, 0, width - 128, 0));
  activate(maintainer->topAnchor().constraintEqualToAnchor(name->bottomAnchor(), 4));
  activate(maintainer->leftAnchor().constraintEqualToAnchor(name->leftAnchor()));
  activate(maintainer->rightAnchor().constraintEqualToAnchor(content->rightAnchor(), -16));
  o.maintainerLbl = maintainer.get();

  auto buttons = KVPackageHeaderButtons::build(
      content, icon.get(), maintainer.get(), this, [this](UIButton* b) { getPackage(b); },
      [this](UIButton* b) { sharePackage(b); });
  o.getBtn = buttons.get;
  o.getBtnWidthConstraint = buttons.getWidth;
  o.getBtnTopConstraintToIconView = buttons.getTopToIcon;
  o.getBtnTopConstraintToMaintainerLbl = buttons.getTopToAuthor;
  o.shareBtn = buttons.share;
  o.shareBtnTopConstraintToIconView = buttons.shareTopToIcon;
  o.shareBtnTopConstraintToMaintainerLbl = buttons.shareTopToAuthor;
  UIButton* get = buttons.get;

  // Size, version and category: a caption over each value, side by side.
  double column = (width - 32) / 3;
  UILabel** captions[] = {&o.sizeLbl, &o.versionLbl, &o.categoryLbl};
  UILabel** values[] = {&o.packageSizeLbl, &o.packageVersionLbl, &o.packageCategoryLbl};
  const char* titles[] = {"Size", "Version", "Category"};
  for (int i = 0; i < 3; ++i) {
    auto caption = label(content, UIFont::systemFontOfSize(13, UIFontWeightSemibold), NSLocalizedString(titles[i]));
    caption->setFrame(CGRect::make(16 + i * column, 0, column, 16));
    activate(caption->topAnchor().constraintEqualToAnchor(get->bottomAnchor(), 20));
    activate(caption->leftAnchor().constraintEqualToAnchor(content->leftAnchor(), 16 + i * column));
    activate(caption->widthAnchor().constraintEqualToConstant(column));
    *captions[i] = caption.get();
    auto value = label(content, UIFont::systemFontOfSize(15));
    value->setFrame(CGRect::make(16 + i * column, 0, column, 18));
    activate(value->topAnchor().constraintEqualToAnchor(caption->bottomAnchor(), 4));
    activate(value->leftAnchor().constraintEqualToAnchor(caption->leftAnchor()));
    activate(value->widthAnchor().constraintEqualToConstant(column));
    *values[i] = value.get();
  }

  // Where the page goes: a placeholder until the web view is there.
  auto placeholder = std::make_shared<UIView>(CGRect::make(0, 0, width, 200));
  place(content, placeholder);
  activate(placeholder->topAnchor().constraintEqualToAnchor(o.packageSizeLbl->bottomAnchor(), 16));
  activate(placeholder->leftAnchor().constraintEqualToAnchor(content->leftAnchor()));
  activate(placeholder->widthAnchor().constraintEqualToConstant(width));
  activate(placeholder->heightAnchor().constraintEqualToConstant(200));
  // The content ends below the placeholder: its frame says so (the layout places views
  // inside a frame it does not grow), a constraint to its bottom would pull the header's
  // labels down to meet it instead.
  o.placeholderViewBottomConstraint = content->bottomAnchor().constraintEqualToAnchor(placeholder->bottomAnchor());
  o.placeholderView = placeholder.get();

  auto container = std::make_shared<UIView>(CGRect::make(0, 0, width, 0));
  place(content, container);
  activate(container->topAnchor().constraintEqualToAnchor(o.packageSizeLbl->bottomAnchor(), 16));
  activate(container->leftAnchor().constraintEqualToAnchor(content->leftAnchor()));
  activate(container->widthAnchor().constraintEqualToConstant(width));
  o.webViewContainerHeightConstraint = activate(container->heightAnchor().constraintEqualToConstant(0));
  o.webViewContainer = container.get();
}

// ---- Lifecycle

void WebDepictionViewController::viewDidLoad() {
  // 1.
  setOverrideLargeTitles(true);
  firstAppear_ = true;
  // 2. The page request with the device's headers.
  URLRequest request(URL::fromString(websiteURL_));
  std::optional<std::string> device = KVPlatform::deviceUDID();
  request.setValue(device, "X-Cydia-ID");
  request.setValue(KVPlatform::firmwareVersion(), "X-Firmware");
  request.setValue(device, "X-Unique-ID");
  request.setValue(KVPlatform::deviceModelID(), "X-Machine");
  request.setValue("API", "Payment-Provider");
  request.setValue(NSLocale::preferredLanguages().front(), "Accept-Language");
  request_ = std::move(request);
  // 3. Light or dark; no web view yet.
  setModeForRequest();
  // The Get button's long press leads to the package's options (bound once: a target
  // added again would be asked twice).
  UIButtonGetButton::addTarget(*outlets_.getBtn, this,
                               [this](UIGestureRecognizer& recognizer) { presentOptions(&recognizer); });
  // 4.
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithTitle(
      NSLocalizedString("Open in Safari"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { openInSafari(); }));
  if (isPresented_)
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissVC(); }));
  KVPalettedViewController::viewDidLoad();
}

void WebDepictionViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  fillHeader();
}

void WebDepictionViewController::fillHeader() {
  auto& o = outlets_;
  auto package = KVRPackage::objectForPrimaryKey(packageIdentifier_);
  std::optional<KVRSource> source;
  if (package && package->sourceLocation()) source = KVRSource::objectForPrimaryKey(*package->sourceLocation());
  // 2. The package's facts; a missing record leaves them empty.
  o.iconView->setImage(KVPackageIcons::iconForIdentifier(packageIdentifier_));
  o.nameLbl->setText(package ? package->name().value_or("") : "");
  o.maintainerLbl->setText(package ? package->maintainer().value_or("") : "");
  auto size = package ? package->size() : std::nullopt;
  o.packageSizeLbl->setText(size ? ByteCountFormatter::stringFromByteCount(std::strtoll(size->c_str(), nullptr, 10)) : "");
  o.packageVersionLbl->setText(package ? PackageCellLook::versionText(*package) : "");
  o.packageCategoryLbl->setText(package ? package->category().value_or("") : "");
  // 3, 4.
  layoutHeader(source && source->isUsingInfoJson().value_or(false));
  // 6. This system's own package is only ever updated from here.
  o.getBtn->setHidden(packageIdentifier_ == kOwnPackage && !(package && package->isUpdated().value_or(false)));
  // 7.
  updateGetButtonTitle();
}

void WebDepictionViewController::layoutHeader(bool infoJson) {
  auto& o = outlets_;
  bool small = isSmallScreen();
  double side = 80, radius = 20;
  // The buttons under the maintainer, 30 points below it.
  o.getBtnTopConstraintToIconView->setActive(false);
  o.shareBtnTopConstraintToIconView->setActive(false);
  o.getBtnTopConstraintToMaintainerLbl->setActive(true);
  o.shareBtnTopConstraintToMaintainerLbl->setActive(true);
  if (small) {
    o.nameLbl->setFont(UIFont::systemFontOfSize(22, UIFontWeightSemibold));
    for (UILabel* caption : {o.sizeLbl, o.versionLbl, o.categoryLbl})
      caption->setFont(UIFont::systemFontOfSize(15, UIFontWeightSemibold));
  } else {
    view()->layoutIfNeeded();
    if (o.nameLbl->frame().height() > 43) {
      o.maintainerLbl->setAdjustsFontSizeToFitWidth(true);
    } else {
      o.maintainerLbl->setNumberOfLines(2);
    }
  }
  if (infoJson) {
    side = small ? 100 : 120;
    radius = small ? 25 : 30;
    if (!small) {
      // Beside the larger icon, at its foot.
      o.getBtnTopConstraintToMaintainerLbl->setActive(false);
      o.shareBtnTopConstraintToMaintainerLbl->setActive(false);
      o.getBtnTopConstraintToIconView->setActive(true);
      o.shareBtnTopConstraintToIconView->setActive(true);
    }
  }
  o.iconViewWidthConstraint->setConstant(side);
  o.iconViewHeightConstraint->setConstant(side);
  o.iconView->layer().cornerRadius = radius;
  o.iconView->setClipsToBounds(true);
  view()->layoutIfNeeded();
  o.getBtn->layer().cornerRadius = o.getBtn->frame().height() / 2;
  o.shareBtn->layer().cornerRadius = o.shareBtn->frame().height() / 2;
}

void WebDepictionViewController::updateGetButtonTitle() {
  performOnMainThread([weak = weakSelf()] {
    auto self = weak.lock();
    if (!self || !self->isViewLoaded()) return;
    auto package = KVRPackage::objectForPrimaryKey(self->packageIdentifier_);
    std::string title;
    if (package) self->outlets_.packageVersionLbl->setText(PackageCellLook::versionText(*package));
    if (package) {
      if (package->isUpdated().value_or(false) && !package->isHeld().value_or(false)) title = NSLocalizedString("UPDATE");
      else if (package->isInstalled().value_or(false)) title = NSLocalizedString("UNINSTALL");
      else if (package->isFree()) title = NSLocalizedString("GET");
      else title = package->price().value_or("");
    }
    UIButton* get = self->outlets_.getBtn;
    get->setTitle(title);
    double width = titleWidth(title);
    self->view()->layoutIfNeeded();
    UIView::animateWithDuration(0.3, [self, width] {
      self->outlets_.getBtnWidthConstraint->setConstant(width + 34);
      self->view()->layoutIfNeeded();
    });
  });
}

void WebDepictionViewController::viewDidAppear(bool animated) {
  KVPalettedViewController::viewDidAppear(animated);
  if (!firstAppear_) return;
  firstAppear_ = false;
  auto& o = outlets_;
  // 1, 2. The web view, its application name in the mode of now.
  configuration_.applicationNameForUserAgent = WebViewViewController::applicationNameForUserAgent(isDarkMode());
  webView_ = std::make_shared<WKWebView>(o.webViewContainer->bounds(), configuration_);
  webView_->setNavigationDelegate(this);
  webView_->setUIDelegate(this);
  // 3.
  webView_->loadRequest(*request_);
  // 4. In its container, which the page's height sizes, the placeholder's place given up.
  webView_->scrollView()->setScrollEnabled(false);
  webView_->setTranslatesAutoresizingMaskIntoConstraints(false);
  o.webViewContainer->addSubview(webView_);
  for (auto [edge, other] : {std::pair{webView_->topAnchor(), o.webViewContainer->topAnchor()},
                             std::pair{webView_->bottomAnchor(), o.webViewContainer->bottomAnchor()},
                             std::pair{webView_->leftAnchor(), o.webViewContainer->leftAnchor()},
                             std::pair{webView_->rightAnchor(), o.webViewContainer->rightAnchor()}})
    activate(edge.constraintEqualToAnchor(other));
  o.placeholderViewBottomConstraint->setActive(false);
  o.placeholderView->setHidden(true);
  o.containerView->setNeedsLayout();
  // The content's height follows the page's (contentSizeChanged sets it): held to the
  // page's bottom by a constraint, the page would stand where the content ends, over
  // the header while the content is shorter than the page.
  // 5. Progress and height.
  auto weak = weakSelf();
  observations_.push_back(webView_->addObserver(WKWebView::ObservedKey::EstimatedProgress, [weak] {
    if (auto self = weak.lock()) self->progressChanged();
  }));
  observations_.push_back(webView_->scrollView()->addContentSizeObserver([weak](CGSize size) {
    if (auto self = weak.lock()) self->contentSizeChanged(size.height);
  }));
}

void WebDepictionViewController::progressChanged() {
  UIProgressView* progress = outlets_.progressView;
  double value = webView_->estimatedProgress();
  progress->setAlpha(1);
  progress->setProgress(static_cast<float>(value), true);
  if (value < 1.0) return;
  auto weak = weakSelf();
  UIView::animateWithDuration(
      0.3, 0.3, UIViewAnimationOptionCurveEaseOut,
      [weak] {
        if (auto self = weak.lock()) self->outlets_.progressView->setAlpha(0);
      },
      [weak](bool) {
        if (auto self = weak.lock()) self->outlets_.progressView->setProgress(0, false);
      });
}

// The page's whole height: page and header scroll as one in the outer scroll view.
void WebDepictionViewController::contentSizeChanged(double height) {
  auto& o = outlets_;
  o.webViewContainerHeightConstraint->setConstant(height);
  view()->layoutIfNeeded();
  o.containerView->setFrame(CGRect::make(0, 0, o.containerView->frame().width(), o.webViewContainer->frame().maxY() + 16));
  o.scrollView->setContentSize({o.containerView->frame().width(), o.containerView->frame().height()});
}

// ---- Light and dark

void WebDepictionViewController::setModeForRequest() {
  if (!request_) return;
  bool dark = isDarkMode();
  configuration_.applicationNameForUserAgent = WebViewViewController::applicationNameForUserAgent(dark);
  request_->setValue(std::string(kUserAgent) + (dark ? " Dark" : " Light"), "User-Agent");
  request_->setValue(dark ? std::optional<std::string>("TRUE") : std::nullopt, "Dark");
  if (webView_) webView_->loadRequest(*request_);
}

void WebDepictionViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  outlets_.webViewContainer->setBackgroundColor(palette->backgroundColor());
  outlets_.placeholderView->setBackgroundColor(palette->backgroundColor());
  outlets_.nameLbl->setTextColor(palette->primaryTextColor());
  // The header's captions and values from the palette, not the labels' default black.
  for (UILabel* l : {outlets_.packageSizeLbl, outlets_.packageVersionLbl, outlets_.packageCategoryLbl})
    l->setTextColor(palette->primaryTextColor());
  for (UILabel* l : {outlets_.maintainerLbl, outlets_.sizeLbl, outlets_.versionLbl, outlets_.categoryLbl})
    l->setTextColor(palette->secondaryTextColor());
  // The dark palettes' bright tint is too light a ground for the white GET.
  outlets_.getBtn->setBackgroundColor(isDarkMode() ? palette->getButtonBackgoundColor() : palette->tintColor());
  if (didLastPaletteChangeUpdateDarkmode()) setModeForRequest();
}

// ---- Actions

void WebDepictionViewController::getPackage(UIButton* sender) {
  if (sender && sender == outlets_.getBtn) UIButtonGetButton::animateButton(*sender);
  std::weak_ptr<void> button;
  if (sender) button = sender->weak_from_this();
  context_.actions->queuePackageWithIdentifier(packageIdentifier_, std::nullopt, button);
}

void WebDepictionViewController::presentOptions(UIGestureRecognizer* recognizer) {
  if (recognizer && recognizer->state() != UIGestureRecognizerStateBegan) return;
  context_.actions->presentOptions(packageIdentifier_, recognizer);
}

void WebDepictionViewController::sharePackage(UIButton* sender) {
  context_.actions->sharePackage(packageIdentifier_, static_cast<UIView*>(sender));
}

void WebDepictionViewController::openInSafari() {
  auto safari = std::make_shared<SFSafariViewController>(websiteURL_);
  if (palette()) {
    safari->setPreferredBarTintColor(palette()->backgroundColor());
    safari->setPreferredControlTintColor(palette()->tintColor());
  }
  safari->setDelegate(this);
  presentViewController(safari, true);
}

void WebDepictionViewController::dismissVC() { dismissViewControllerAnimated(true); }

// ---- The web view

void WebDepictionViewController::didFinishNavigation(WKWebView&, const WKNavigation*) {
  UIApplication::sharedApplication().setNetworkActivityIndicatorVisible(false);
}

// A link that wants a new window opens in this one.
std::shared_ptr<WKWebView> WebDepictionViewController::createWebViewWithConfiguration(WKWebView& webView,
                                                                                      const WKWebViewConfiguration&,
                                                                                      const WKNavigationAction& action) {
  return WebViewViewController::loadNewWindowInPlace(webView, action);
}
