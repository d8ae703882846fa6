#include "payment/CydiaStoreLoginController.h"

#include "core/NSURLRequestKorvaleExtensions.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/StringEncoding.h"
#include "foundation/URLSession.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRequestFailureView.h"
#include "markdown/NSStringURLsFromString.h"
#include "payment/CydiaStoreLoginWebView.h"
#include "payment/KVOutsideStore.h"
#include "payment/KVRepoStoreRecords.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIScreen.h"

namespace {
// The preference first, saved at once, then the announcement, on the main thread.
void recordSignedIn(bool signedIn) {
  performOnMainThread([signedIn] {
    auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
    preferences.setObject(Value(signedIn), KVOutsideStore::kSignedInPreference);
    preferences.saveToFile();
    NotificationCenter::defaultCenter().post(KVOutsideStore::kSigninStatusDidChangeNotification, Value(signedIn));
  });
}
}  // namespace

CydiaStoreLoginController::CydiaStoreLoginController() : url_(URL::fromString(KVOutsideStore::accountPage())) {}
CydiaStoreLoginController::CydiaStoreLoginController(URL url) : url_(std::move(url)) {}
CydiaStoreLoginController::CydiaStoreLoginController(const std::string& address) : url_(URL::fromString(address)) {}
CydiaStoreLoginController::~CydiaStoreLoginController() {
  if (webView_) webView_->setDelegate(nullptr);
}

// The web view fills the screen; a page that could not be loaded says so over it.
void CydiaStoreLoginController::loadView() {
  KVPalettedViewController::loadView();
  CGRect frame = view() ? view()->bounds() : UIScreen::mainScreen().bounds();
  webView_ = std::make_shared<CydiaStoreLoginWebView>(frame);
  view()->addSubview(webView_);
  failureView_ = std::make_shared<KVRequestFailureView>(frame);
  view()->addSubview(failureView_);
}

void CydiaStoreLoginController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  webView_->setFrame(view()->bounds());
  failureView_->setFrame(view()->bounds());
}

void CydiaStoreLoginController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setOverrideLargeTitles(true);
  backwardButton_ = UIBarButtonItem::itemWithImage(UIImage::imageNamed("back"), UIBarButtonItemStylePlain,
                                                   [this](UIBarButtonItem&) { goBack(); });
  forwardButton_ = UIBarButtonItem::itemWithImage(UIImage::imageNamed("forward"), UIBarButtonItemStylePlain,
                                                  [this](UIBarButtonItem&) { goForward(); });
  refreshButton_ = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemRefresh,
                                                                [this](UIBarButtonItem&) { refresh(); });
  stopButton_ = UIBarButtonItem::itemWithImage(UIImage::imageNamed("cancel"), UIBarButtonItemStylePlain,
                                               [this](UIBarButtonItem&) { cancel(); });
  navigationItem().setLeftBarButtonItems(
      {UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone, [this](UIBarButtonItem&) { dismiss(); }),
       backwardButton_, forwardButton_});
  navigationItem().setRightBarButtonItem(refreshButton_);
  updateHistoryButtons();
  URLRequest request = NSURLRequestKorvaleExtensions::QuillbarkGetRequestWithURL(url_);
  request.setValue(CydiaStoreLoginWebView::kUserAgent, "User-Agent");
  webView_->setDelegate(this);
  if (url_) webView_->loadRequest(request);
}

void CydiaStoreLoginController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (webView_) webView_->setBackgroundColor(palette->backgroundColor());
}

bool CydiaStoreLoginController::webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& request,
                                                                  UIWebViewNavigationType) {
  request.setValue(CydiaStoreLoginWebView::kUserAgent, "User-Agent");
  lastRequest_ = request;
  const auto& url = request.url();
  if (url && url->absoluteString().find(KVOutsideStore::signOutMarker()) != std::string::npos) {
    // The store signed the user out: what its pages named is no longer known to be bought,
    // and an account page shown after this must not bring the old list back.
    purchaseIdentifiers_.clear();
    KVRepoStoreRecords::setOutsideStorePurchases({});
    recordSignedIn(false);
  }
  return true;
}

void CydiaStoreLoginController::webViewDidStartLoad(UIWebView&) {
  updateHistoryButtons();
  navigationItem().setRightBarButtonItem(stopButton_);
}

void CydiaStoreLoginController::webViewDidFailLoadWithError(UIWebView&, ErrorRef error) {
  updateHistoryButtons();
  navigationItem().setRightBarButtonItem(refreshButton_);
  if (error && error->domain == NSURLErrorDomain && error->code == NSURLErrorCancelled) return;
  std::string reason = error ? error->localizedDescription() : NSLocalizedString("Unknown error");
  failureView_->showFailure(NSLocalizedFormat("The page could not be opened: %@", {reason}), [this] {
    if (lastRequest_) webView_->loadRequest(*lastRequest_);
  });
}

void CydiaStoreLoginController::webViewDidFinishLoad(UIWebView& webView) {
  failureView_->hide();
  updateHistoryButtons();
  navigationItem().setRightBarButtonItem(refreshButton_);
  const auto& request = webView.request();
  if (request && request->url() &&
      request->url()->absoluteString().find(KVOutsideStore::accountMarker()) != std::string::npos)
    fetchPurchases();
}

void CydiaStoreLoginController::updateHistoryButtons() {
  backwardButton_->setEnabled(webView_ && webView_->canGoBack());
  forwardButton_->setEnabled(webView_ && webView_->canGoForward());
}

std::optional<std::vector<std::string>> CydiaStoreLoginController::packageIdentifiersInPage(const std::string& page) {
  const std::string prefix = KVOutsideStore::packageLinkPrefix();
  if (page.find(prefix) == std::string::npos) return std::nullopt;
  std::vector<std::string> identifiers;
  for (const URL& link : markdown::NSStringURLsFromString::URLs(page)) {
    const std::string& text = link.absoluteString();
    if (text.rfind(prefix, 0) == 0) identifiers.push_back(text.substr(prefix.size()));
  }
  return identifiers;
}

// The purchases page is read with the cookies the pages left (the shared session shares
// the web view's cookie store) and the request factory's headers.
void CydiaStoreLoginController::fetchPurchases() {
  URLRequest request = NSURLRequestKorvaleExtensions::QuillbarkGetRequestWithString(KVOutsideStore::purchasesPage());
  request.setReplyLimits(URLReplyKinds::kWebPage);
  auto task = URLSession::sharedSession()->dataTaskWithRequest(
      request, [weak = weakSelf(this)](std::optional<Data> body, URLResponseRef, ErrorRef error) {
        if (error || !body) return;  // a failed fetch changes nothing
        std::optional<std::vector<std::string>> identifiers;
        std::string_view bytes(reinterpret_cast<const char*>(body->data()), body->size());
        if (auto text = decodeString(bytes, StringEncoding::UTF8)) identifiers = packageIdentifiersInPage(*text);
        performOnMainThread([weak, identifiers] {
          if (auto self = weak.lock()) self->purchasesPageRead(identifiers);
        });
      });
  task->resume();
}

void CydiaStoreLoginController::purchasesPageRead(std::optional<std::vector<std::string>> identifiers) {
  ++purchasesPagesRead_;
  // A page without package links keeps what an earlier page of this screen found.
  if (identifiers) purchaseIdentifiers_ = std::move(*identifiers);
  if (purchaseIdentifiers_.empty()) return;
  KVRepoStoreRecords::setOutsideStorePurchases(purchaseIdentifiers_);
  recordSignedIn(true);
}

void CydiaStoreLoginController::refresh() { webView_->reload(); }
void CydiaStoreLoginController::goBack() { webView_->goBack(); }
void CydiaStoreLoginController::goForward() { webView_->goForward(); }
void CydiaStoreLoginController::cancel() { webView_->stopLoading(); }
void CydiaStoreLoginController::dismiss() { dismissViewControllerAnimated(true); }
