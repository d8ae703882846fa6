#pragma once
// A view that plays a video of the video service inside the application: a web view of
// its own shows our page template ("KVVideoPlayerView-iframe-player.html" in the
// resources' "Assets" folder), which runs the service's embedded player from the
// parameters handed to it as JSON. Commands go to the page as script statements; the
// page tells its events by navigating to "kvplayer://<event>?data=<value>", which the
// view turns into delegate calls. Links the page opens that are not the player's own
// go to the system.
//
// Identifiers enter script text as JSON strings, so a quote in one never breaks the
// statement; the parameters replace the template's one placeholder, so the template's
// own "%" characters stay. Main thread only.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/URL.h"
#include "foundation/Value.h"
#include "package/KVVideoPlayerViewDelegate.h"
#include "uikit/UIView.h"
#include "webkit/UIWebView.h"

class KVVideoPlayerView : public UIView, public UIWebViewDelegate {
 public:
  // The hosts of the pages the player may load in place: the video service's embed
  // pages, its advertising's conversion page, the ad-syndication pages, the sign-in
  // provider's pages and the service's API proxy page. A setting: tests point them at
  // 127.0.0.1.
  struct Hosts {
    std::string videoService = "youtube.com";
    std::string advertising = "googleads.g.doubleclick.net";
    std::string adSyndication = "tpc.googlesyndication.com";
    std::string signIn = "accounts.google.com";
    std::string apiProxy = "content.googleapis.com";
  };
  static Hosts hosts();
  static void setHosts(Hosts hosts);
  static void resetHosts();

  explicit KVVideoPlayerView(CGRect frame = {});
  ~KVVideoPlayerView() override;

  UIWebView* webView() const { return webView_.get(); }
  std::weak_ptr<KVVideoPlayerViewDelegate> delegate() const { return delegate_; }
  void setDelegate(std::weak_ptr<KVVideoPlayerViewDelegate> delegate) { delegate_ = std::move(delegate); }
  const std::optional<URL>& originURL() const { return originURL_; }
  const std::shared_ptr<UIView>& initialLoadingView() const { return initialLoadingView_; }

  // ---- Loading
  bool loadWithVideoId(const std::string& videoId);
  bool loadWithVideoId(const std::string& videoId, const Value& playerVars);
  bool loadWithPlaylistId(const std::string& playlistId);
  bool loadWithPlaylistId(const std::string& playlistId, const Value& playerVars);
  // The common load: false, with a log line, when the template cannot be read or the
  // parameters are no dictionary.
  bool loadWithPlayerParams(const Value& parameters);
  // The parameters of the last load, as the page got them.
  const Value& playerParameters() const { return parameters_; }

  // ---- Commands
  void playVideo();
  void pauseVideo();
  void stopVideo();
  void seekToSeconds(float seconds, bool allowSeekAhead);
  void cueVideoById(const std::string& videoId, float startSeconds, KVPlaybackQuality suggestedQuality);
  void cueVideoById(const std::string& videoId, float startSeconds, float endSeconds, KVPlaybackQuality suggestedQuality);
  void loadVideoById(const std::string& videoId, float startSeconds, KVPlaybackQuality suggestedQuality);
  void loadVideoById(const std::string& videoId, float startSeconds, float endSeconds, KVPlaybackQuality suggestedQuality);
  void cueVideoByURL(const std::string& videoURL, float startSeconds, KVPlaybackQuality suggestedQuality);
  void cueVideoByURL(const std::string& videoURL, float startSeconds, float endSeconds,
                     KVPlaybackQuality suggestedQuality);
  void loadVideoByURL(const std::string& videoURL, float startSeconds, KVPlaybackQuality suggestedQuality);
  void loadVideoByURL(const std::string& videoURL, float startSeconds, float endSeconds,
                      KVPlaybackQuality suggestedQuality);
  void cuePlaylistByPlaylistId(const std::string& playlistId, int index, float startSeconds,
                               KVPlaybackQuality suggestedQuality);
  void cuePlaylistByVideos(const std::vector<std::string>& videoIds, int index, float startSeconds,
                           KVPlaybackQuality suggestedQuality);
  void loadPlaylistByPlaylistId(const std::string& playlistId, int index, float startSeconds,
                                KVPlaybackQuality suggestedQuality);
  void loadPlaylistByVideos(const std::vector<std::string>& videoIds, int index, float startSeconds,
                            KVPlaybackQuality suggestedQuality);
  float playbackRate();
  void setPlaybackRate(float rate);
  std::optional<Value> availablePlaybackRates();
  void setLoop(bool loop);
  void setShuffle(bool shuffle);
  float videoLoadedFraction();
  KVPlayerState playerState();
  float currentTime();
  double duration();
  KVPlaybackQuality playbackQuality();
  void setPlaybackQuality(KVPlaybackQuality quality);
  std::optional<std::vector<KVPlaybackQuality>> availableQualityLevels();
  std::optional<URL> videoUrl();
  std::string videoEmbedCode();
  std::optional<Value> playlist();
  int playlistIndex();
  void nextVideo();
  void previousVideo();
  void playVideoAt(int index);

  void removeWebView();

  // ---- Conversions of the page's texts
  static KVPlayerState playerStateForString(const std::string& text);
  static std::string stringForPlayerState(long state);
  static KVPlaybackQuality playbackQualityForString(const std::string& text);
  static std::string stringForPlaybackQuality(long quality);
  static KVPlayerError playerErrorForString(const std::string& text);

  // ---- The web view's questions
  bool webViewShouldStartLoadWithRequest(UIWebView& webView, URLRequest& request, UIWebViewNavigationType type) override;
  void webViewDidFailLoadWithError(UIWebView& webView, ErrorRef error) override;

  void layoutSubviews() override;

 private:
  // Runs one statement in the page; its answer ("" without a web view).
  std::string evaluate(const std::string& script);
  void notifyDelegateOfCallback(const URL& url);
  bool handleHTTPNavigation(const URL& url);
  void removeInitialLoadingView();
  std::shared_ptr<UIWebView> createNewWebView();

  std::shared_ptr<UIWebView> webView_;
  std::weak_ptr<KVVideoPlayerViewDelegate> delegate_;
  std::optional<URL> originURL_;
  std::shared_ptr<UIView> initialLoadingView_;
  Value parameters_;
};
