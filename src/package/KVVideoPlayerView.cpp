// The player's loads, its web view and the page's events; the commands are in
// KVVideoPlayerViewCommands.cpp.
#include "package/KVVideoPlayerView.h"

#include <cctype>
#include <mutex>

#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "uikit/UIApplication.h"

namespace {

std::mutex gHostsMutex;
KVVideoPlayerView::Hosts& sharedHosts() {
  static KVVideoPlayerView::Hosts hosts;
  return hosts;
}

constexpr const char* kTemplateName = "KVVideoPlayerView-iframe-player";

// The template's place: the resources' "Assets" folder, else the same place inside the
// resource bundle "Assets.bundle"; looked up once.
std::optional<std::string> templatePath() {
  static const std::optional<std::string> path = [] {
    Bundle& bundle = Bundle::main();
    auto direct = bundle.pathForResource(kTemplateName, "html", "Assets");
    return direct ? direct : bundle.pathForResource(kTemplateName, "html", "Assets.bundle/Assets");
  }();
  return path;
}

bool startsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  return true;
}

bool endsWithIgnoringCase(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() && startsWithIgnoringCase(text.substr(text.size() - suffix.size()), suffix);
}

// Whether the whole address is one of the pages the player loads in place.
bool isPlayerPage(const std::string& address, const KVVideoPlayerView::Hosts& hosts) {
  for (const char* scheme : {"http://", "https://"}) {
    const std::string s = scheme;
    for (const std::string& host : {hosts.videoService, "www." + hosts.videoService})
      if (startsWithIgnoringCase(address, s + host + "/embed/")) return true;
    if (startsWithIgnoringCase(address, s + hosts.advertising + "/pagead/conversion/")) return true;
    if (startsWithIgnoringCase(address, s + hosts.signIn + "/o/oauth2/")) return true;
  }
  const std::string syndication = "https://" + hosts.adSyndication + "/sodar/";
  if (startsWithIgnoringCase(address, syndication) && address.size() > syndication.size() + 5 &&
      endsWithIgnoringCase(address, ".html"))
    return true;
  return startsWithIgnoringCase(address, "https://" + hosts.apiProxy + "/static/proxy.html");
}

}  // namespace

KVVideoPlayerView::Hosts KVVideoPlayerView::hosts() {
  std::lock_guard lock(gHostsMutex);
  return sharedHosts();
}

void KVVideoPlayerView::setHosts(Hosts hosts) {
  std::lock_guard lock(gHostsMutex);
  sharedHosts() = std::move(hosts);
}

void KVVideoPlayerView::resetHosts() { setHosts(Hosts{}); }

KVVideoPlayerView::KVVideoPlayerView(CGRect frame) : UIView(frame) {}

KVVideoPlayerView::~KVVideoPlayerView() {
  if (webView_) webView_->setDelegate(nullptr);
}

// ---- Loading

bool KVVideoPlayerView::loadWithVideoId(const std::string& videoId) { return loadWithVideoId(videoId, Value()); }

bool KVVideoPlayerView::loadWithVideoId(const std::string& videoId, const Value& playerVars) {
  Value parameters = Value::dict({{"videoId", videoId}});
  parameters.set("playerVars", playerVars.isDictionary() ? playerVars : Value::dict());
  return loadWithPlayerParams(parameters);
}

bool KVVideoPlayerView::loadWithPlaylistId(const std::string& playlistId) {
  return loadWithPlaylistId(playlistId, Value());
}

bool KVVideoPlayerView::loadWithPlaylistId(const std::string& playlistId, const Value& playerVars) {
  Value variables = Value::dict({{"listType", "playlist"}, {"list", playlistId}});
  if (const auto* given = playerVars.dictionaryPtr())
    for (const auto& [key, value] : *given) variables.set(key, value);
  return loadWithPlayerParams(Value::dict({{"playerVars", variables}}));
}

bool KVVideoPlayerView::loadWithPlayerParams(const Value& given) {
  if (!given.isDictionary()) {
    KVLog("Attempted configuration of player with invalid playerVars: %s \tError: %s", given.toJSON().c_str(),
          "the parameters are no dictionary");
    return false;
  }
  // 1. The size and the page's handler of each player event.
  Value parameters = given;
  if (!parameters.contains("height")) parameters.set("height", "100%");
  if (!parameters.contains("width")) parameters.set("width", "100%");
  parameters.set("events", Value::dict({{"onReady", "onReady"},
                                        {"onStateChange", "onStateChange"},
                                        {"onPlaybackQualityChange", "onPlaybackQualityChange"},
                                        {"onError", "onPlayerError"}}));
  // 2. The origin navigations are judged against.
  if (parameters.contains("playerVars")) {
    const std::string* origin = parameters["playerVars"]["origin"].stringPtr();
    originURL_ = origin ? URL::fromString(*origin) : std::nullopt;
    if (!originURL_) originURL_ = URL::fromString("about:blank");
  } else {
    parameters.set("playerVars", Value::dict());
  }
  parameters_ = parameters;
  // 3. A new web view for every load.
  removeWebView();
  webView_ = createNewWebView();
  addSubview(webView_);
  // 4. The page template.
  auto path = templatePath();
  std::optional<std::string> page = path ? Files::readText(*path) : std::nullopt;
  if (!page) {
    KVLog("Received error rendering template: the file \"%s.html\" could not be read", kTemplateName);
    return false;
  }
  // 5, 6. The parameters in place of the one placeholder, nothing else of the template read.
  const std::string json = parameters.toJSON(true);
  if (size_t placeholder = page->find("%@"); placeholder != std::string::npos) page->replace(placeholder, 2, json);
  webView_->loadHTMLString(*page, originURL_);
  // 7.
  webView_->setDelegate(this);
  webView_->setAllowsInlineMediaPlayback(true);
  webView_->setMediaPlaybackRequiresUserAction(false);
  // 8. What covers the player until it is ready.
  if (auto delegate = delegate_.lock()) {
    if (auto loading = delegate->playerViewPreferredInitialLoadingView(*this)) {
      loading->setFrame(bounds());
      addSubview(loading);
      initialLoadingView_ = loading;
    }
  }
  return true;
}

std::shared_ptr<UIWebView> KVVideoPlayerView::createNewWebView() {
  auto web = std::make_shared<UIWebView>(bounds());
  web->scrollView()->setScrollEnabled(false);
  if (auto delegate = delegate_.lock()) {
    if (auto color = delegate->playerViewPreferredWebViewBackgroundColor(*this)) {
      web->setBackgroundColor(*color);
      if (*color == UIColor::clearColor()) web->setOpaque(false);
    }
  }
  return web;
}

void KVVideoPlayerView::removeWebView() {
  if (!webView_) return;
  webView_->setDelegate(nullptr);
  webView_->removeFromSuperview();
  webView_.reset();
}

void KVVideoPlayerView::layoutSubviews() {
  UIView::layoutSubviews();
  // The web view and the loading view take the player's size.
  if (webView_) webView_->setFrame(bounds());
  if (initialLoadingView_) initialLoadingView_->setFrame(bounds());
}

void KVVideoPlayerView::removeInitialLoadingView() {
  if (!initialLoadingView_) return;
  initialLoadingView_->removeFromSuperview();
  initialLoadingView_.reset();
}

// ---- The page's navigations

bool KVVideoPlayerView::webViewShouldStartLoadWithRequest(UIWebView&, URLRequest& request, UIWebViewNavigationType) {
  const auto& url = request.url();
  if (!url) return true;
  // 1. The page's own origin.
  if (originURL_ && url->host() == originURL_->host()) return true;
  std::string scheme = url->scheme();
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // 2. An event of the page.
  if (scheme == "kvplayer") {
    notifyDelegateOfCallback(*url);
    return false;
  }
  // 3. The player's own pages load; any other web page opens outside the application.
  if (scheme == "http" || scheme == "https") return handleHTTPNavigation(*url);
  return true;
}

bool KVVideoPlayerView::handleHTTPNavigation(const URL& url) {
  if (isPlayerPage(url.absoluteString(), hosts())) return true;
  UIApplication::sharedApplication().openURL(url.absoluteString());
  return false;
}

void KVVideoPlayerView::notifyDelegateOfCallback(const URL& url) {
  const std::string& event = url.host();
  std::optional<std::string> data;
  if (const auto& query = url.query(); query && query->find('=') != std::string::npos)
    data = query->substr(query->find('=') + 1);
  auto delegate = delegate_.lock();
  const std::string value = data.value_or("");
  if (event == "onReady") {
    removeInitialLoadingView();
    if (delegate) delegate->playerViewDidBecomeReady(*this);
  } else if (event == "onStateChange") {
    if (delegate) delegate->playerViewDidChangeToState(*this, playerStateForString(value));
  } else if (event == "onPlaybackQualityChange") {
    if (delegate) delegate->playerViewDidChangeToQuality(*this, playbackQualityForString(value));
  } else if (event == "onError") {
    if (delegate) delegate->playerViewReceivedError(*this, playerErrorForString(value));
  } else if (event == "onPlayTime") {
    if (delegate) delegate->playerViewDidPlayTime(*this, std::strtof(value.c_str(), nullptr));
  } else if (event == "onYouTubeIframeAPIFailedToLoad") {
    removeInitialLoadingView();
  }
}

void KVVideoPlayerView::webViewDidFailLoadWithError(UIWebView&, ErrorRef) { removeInitialLoadingView(); }

// ---- Conversions

KVPlayerState KVVideoPlayerView::playerStateForString(const std::string& text) {
  if (text == "-1") return KVPlayerStateUnstarted;
  if (text == "0") return KVPlayerStateEnded;
  if (text == "1") return KVPlayerStatePlaying;
  if (text == "2") return KVPlayerStatePaused;
  if (text == "3") return KVPlayerStateBuffering;
  if (text == "5") return KVPlayerStateQueued;
  return KVPlayerStateUnknown;
}

std::string KVVideoPlayerView::stringForPlayerState(long state) {
  switch (state) {
    case KVPlayerStateUnstarted: return "-1";
    case KVPlayerStateEnded: return "0";
    case KVPlayerStatePlaying: return "1";
    case KVPlayerStatePaused: return "2";
    case KVPlayerStateBuffering: return "3";
    case KVPlayerStateQueued: return "5";
    default: return "unknown";
  }
}

namespace {
constexpr const char* kQualityNames[] = {"small", "medium", "large", "hd720", "hd1080", "highres", "auto"};
}

KVPlaybackQuality KVVideoPlayerView::playbackQualityForString(const std::string& text) {
  for (long i = 0; i < 7; ++i)
    if (text == kQualityNames[i]) return static_cast<KVPlaybackQuality>(i);
  return KVPlaybackQualityUnknown;
}

std::string KVVideoPlayerView::stringForPlaybackQuality(long quality) {
  return quality >= 0 && quality <= 6 ? kQualityNames[quality] : "unknown";
}

KVPlayerError KVVideoPlayerView::playerErrorForString(const std::string& text) {
  if (text == "2") return KVPlayerErrorInvalidParam;
  if (text == "5") return KVPlayerErrorHTML5Error;
  if (text == "100" || text == "105") return KVPlayerErrorVideoNotFound;
  if (text == "101" || text == "150") return KVPlayerErrorNotEmbeddable;
  return KVPlayerErrorUnknown;
}
