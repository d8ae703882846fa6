// The embedded video player: its page made from our template, the page's events turned
// into delegate calls, the navigations it allows, and its commands as script statements.
#include <gtest/gtest.h>

#include "package/KVVideoPlayerView.h"
#include "support/UIDriver.h"
#include "uikit/UIApplication.h"

namespace {

struct Recorder : KVVideoPlayerViewDelegate {
  std::vector<std::string> calls;
  std::shared_ptr<UIView> loading = std::make_shared<UIView>();
  void playerViewDidBecomeReady(KVVideoPlayerView&) override { calls.push_back("ready"); }
  void playerViewDidChangeToState(KVVideoPlayerView&, KVPlayerState s) override {
    calls.push_back("state " + std::to_string(s));
  }
  void playerViewDidChangeToQuality(KVVideoPlayerView&, KVPlaybackQuality q) override {
    calls.push_back("quality " + std::to_string(q));
  }
  void playerViewReceivedError(KVVideoPlayerView&, KVPlayerError e) override {
    calls.push_back("error " + std::to_string(e));
  }
  void playerViewDidPlayTime(KVVideoPlayerView&, float t) override { calls.push_back("time " + std::to_string(t)); }
  std::shared_ptr<UIView> playerViewPreferredInitialLoadingView(KVVideoPlayerView&) override { return loading; }
  std::optional<UIColor> playerViewPreferredWebViewBackgroundColor(KVVideoPlayerView&) override {
    return UIColor::clearColor();
  }
};

class VideoPlayerTest : public ::testing::Test {
 protected:
  // What the page does when the player reports, or when a person follows a link in it.
  void pageNavigates(const std::string& address) {
    player->webView()->navigateByPage(URLRequest(URL::fromString(address)));
    ui.runUntilIdle();
  }

  UIDriver ui;
  std::shared_ptr<KVVideoPlayerView> player = std::make_shared<KVVideoPlayerView>(CGRect::make(0, 0, 320, 180));
  std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

}  // namespace

TEST_F(VideoPlayerTest, AVideoLoadsTheTemplateWithItsParameters) {
  player->setDelegate(recorder);
  ASSERT_TRUE(player->loadWithVideoId("dQw4w9WgXcQ"));
  EXPECT_EQ(player->playerParameters(),
            Value::dict({{"videoId", "dQw4w9WgXcQ"},
                         {"playerVars", Value::dict()},
                         {"height", "100%"},
                         {"width", "100%"},
                         {"events", Value::dict({{"onReady", "onReady"},
                                                 {"onStateChange", "onStateChange"},
                                                 {"onPlaybackQualityChange", "onPlaybackQualityChange"},
                                                 {"onError", "onPlayerError"}})}}));
  EXPECT_EQ(player->originURL()->absoluteString(), "about:blank");
  ui.runUntilIdle();
  const std::string& page = player->webView()->page().html;
  // The parameters as pretty JSON in the one placeholder; the template's own "%" stays.
  EXPECT_NE(page.find("new YT.Player('player', " + player->playerParameters().toJSON(true) + ");"), std::string::npos);
  EXPECT_NE(page.find("width: 100%; height: 100%;"), std::string::npos);
  EXPECT_EQ(page.find("%@"), std::string::npos);
  EXPECT_TRUE(player->webView()->allowsInlineMediaPlayback());
  EXPECT_FALSE(player->webView()->mediaPlaybackRequiresUserAction());
  EXPECT_FALSE(player->webView()->isOpaque());
  ASSERT_EQ(player->initialLoadingView(), recorder->loading);

  // The page's events, as the template sends them.
  pageNavigates("kvplayer://onStateChange?data=1");
  pageNavigates("kvplayer://onStateChange?data=4");
  pageNavigates("kvplayer://onError?data=150");
  pageNavigates("kvplayer://onPlaybackQualityChange?data=hd2160");
  pageNavigates("kvplayer://onPlayTime?data=12.5");
  pageNavigates("kvplayer://onSomethingNew?data=1");
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"state 2", "state 6", "error 3", "quality 8", "time 12.500000"}));
  EXPECT_TRUE(recorder->loading->superview());
  pageNavigates("kvplayer://onReady");
  EXPECT_EQ(recorder->calls.back(), "ready");
  EXPECT_FALSE(player->initialLoadingView());
  EXPECT_FALSE(recorder->loading->superview());
  // No callback ever replaced the player's page.
  EXPECT_NE(player->webView()->page().html.find("YT.Player"), std::string::npos);

  // A new load replaces the web view; a playlist's parameters.
  std::shared_ptr<UIView> first = player->webView()->shared_from_this();
  ASSERT_TRUE(player->loadWithPlaylistId("PL1", Value::dict({{"origin", "https://app.example"}})));
  EXPECT_NE(player->webView(), first.get());
  EXPECT_FALSE(first->superview());
  EXPECT_EQ(player->playerParameters()["playerVars"],
            Value::dict({{"listType", "playlist"}, {"list", "PL1"}, {"origin", "https://app.example"}}));
  EXPECT_EQ(player->originURL()->absoluteString(), "https://app.example");
  EXPECT_FALSE(player->playerParameters().contains("videoId"));
  player->removeWebView();
  EXPECT_FALSE(player->webView());
}

TEST_F(VideoPlayerTest, LinksOfThePagePlayInPlaceOrGoToTheSystem) {
  KVVideoPlayerView::Hosts hosts;
  hosts.videoService = "video.test";
  KVVideoPlayerView::setHosts(hosts);
  ASSERT_TRUE(player->loadWithVideoId("abc", Value::dict({{"origin", "http://127.0.0.1:9/"}})));
  ui.runUntilIdle();
  auto decide = [&](const std::string& address) {
    URLRequest request(URL::fromString(address));
    return player->webViewShouldStartLoadWithRequest(*player->webView(), request, UIWebViewNavigationTypeLinkClicked);
  };
  EXPECT_TRUE(decide("https://www.video.test/embed/abc?autoplay=1"));
  EXPECT_TRUE(decide("HTTP://VIDEO.TEST/EMBED/abc"));
  EXPECT_TRUE(decide("http://googleads.g.doubleclick.net/pagead/conversion/1/"));
  EXPECT_TRUE(decide("https://tpc.googlesyndication.com/sodar/abc.html"));
  EXPECT_FALSE(decide("http://tpc.googlesyndication.com/sodar/abc.html"));  // https only: to the system
  EXPECT_TRUE(decide("https://accounts.google.com/o/oauth2/auth"));
  EXPECT_TRUE(decide("https://content.googleapis.com/static/proxy.html#x"));
  EXPECT_TRUE(decide("http://127.0.0.1:8/anything"));  // the origin's host
  EXPECT_TRUE(decide("about:blank"));
  // The video's title links to the service's own page: that opens outside, and the
  // player's page stays.
  pageNavigates("https://www.video.test/watch?v=abc");
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
            (std::vector<std::string>{"http://tpc.googlesyndication.com/sodar/abc.html",
                                      "https://www.video.test/watch?v=abc"}));
  EXPECT_NE(player->webView()->page().html.find("YT.Player"), std::string::npos);
}

TEST_F(VideoPlayerTest, CommandsAreWellFormedStatements) {
  player->setDelegate(recorder);
  // Without a page nothing is sent and queries answer nothing.
  EXPECT_EQ(player->playerState(), KVPlayerStateUnknown);
  EXPECT_FALSE(player->availableQualityLevels());
  ASSERT_TRUE(player->loadWithVideoId("abc"));
  UIWebView& web = *player->webView();
  web.setScriptAnswer("player.getAvailableQualityLevels().toString();", "hd720,medium,hd2160");
  web.setScriptAnswer("player.getPlayerState();", "3");
  web.setScriptAnswer("player.getAvailablePlaybackRates();", "[0.5,1,2]");
  web.setScriptAnswer("player.getPlaylist();", "not json");
  web.setScriptAnswer("player.getDuration();", "212.25");

  player->cueVideoById("it's \"quoted\"", 5, KVPlaybackQualityLarge);
  player->loadVideoById("a", 1.5, 9, KVPlaybackQualityHD720);
  player->cuePlaylistByVideos({"a", "b'c"}, 1, 0, KVPlaybackQualityAuto);
  player->seekToSeconds(30, true);
  player->setPlaybackRate(1.5);
  player->setLoop(false);
  player->pauseVideo();
  EXPECT_EQ(web.evaluatedScripts(),
            (std::vector<std::string>{
                "player.cueVideoById(\"it's \\\"quoted\\\"\", 5, \"large\");",
                "player.loadVideoById({\"videoId\": \"a\", \"startSeconds\": 1.5, \"endSeconds\": 9, "
                "\"suggestedQuality\": \"hd720\"});",
                "player.cuePlaylist([\"a\",\"b'c\"], 1, 0, \"auto\");",
                "player.seekTo(30, true);",
                "player.setPlaybackRate(1.500000);",
                "player.setLoop(false);",
                "player.pauseVideo();",
            }));
  // A pause is told to the delegate by the player itself.
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"state 3"}));
  EXPECT_EQ(player->availableQualityLevels(),
            (std::vector<KVPlaybackQuality>{KVPlaybackQualityHD720, KVPlaybackQualityMedium, KVPlaybackQualityUnknown}));
  EXPECT_EQ(player->playerState(), KVPlayerStateBuffering);
  EXPECT_EQ(player->availablePlaybackRates(), Value::array({0.5, 1, 2}));
  EXPECT_FALSE(player->playlist());
  EXPECT_DOUBLE_EQ(player->duration(), 212.25);
  EXPECT_EQ(KVVideoPlayerView::stringForPlayerState(7), "unknown");
  EXPECT_EQ(KVVideoPlayerView::stringForPlaybackQuality(KVPlaybackQualityUnknown), "unknown");
  EXPECT_EQ(KVVideoPlayerView::playerErrorForString("105"), KVPlayerErrorVideoNotFound);
  EXPECT_EQ(KVVideoPlayerView::playerErrorForString("2"), KVPlayerErrorInvalidParam);
}
