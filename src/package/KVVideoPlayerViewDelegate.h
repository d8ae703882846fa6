#pragma once
// What the embedded video player tells the screen that shows it, and what it asks of it.
// Every member is optional: a delegate answers only what it implements. All on the main
// thread.
#include <memory>
#include <optional>

#include "uikit/UIColor.h"

class KVVideoPlayerView;
class UIView;

// The player's state, from the page's state text ("-1" not started ... "5" queued).
enum KVPlayerState : long {
  KVPlayerStateUnstarted = 0,
  KVPlayerStateEnded = 1,
  KVPlayerStatePlaying = 2,
  KVPlayerStatePaused = 3,
  KVPlayerStateBuffering = 4,
  KVPlayerStateQueued = 5,
  KVPlayerStateUnknown = 6,
};

// The playback quality, from its name ("small" ... "auto"); any other name is unknown,
// which is 8.
enum KVPlaybackQuality : long {
  KVPlaybackQualitySmall = 0,
  KVPlaybackQualityMedium = 1,
  KVPlaybackQualityLarge = 2,
  KVPlaybackQualityHD720 = 3,
  KVPlaybackQualityHD1080 = 4,
  KVPlaybackQualityHighRes = 5,
  KVPlaybackQualityAuto = 6,
  KVPlaybackQualityUnknown = 8,
};

// The player's errors, from the page's error codes.
enum KVPlayerError : long {
  KVPlayerErrorInvalidParam = 0,     // "2"
  KVPlayerErrorHTML5Error = 1,       // "5"
  KVPlayerErrorVideoNotFound = 2,    // "100", "105"
  KVPlayerErrorNotEmbeddable = 3,    // "101", "150"
  KVPlayerErrorUnknown = 4,
};

class KVVideoPlayerViewDelegate {
 public:
  virtual ~KVVideoPlayerViewDelegate() = default;
  virtual void playerViewDidBecomeReady(KVVideoPlayerView&) {}
  virtual void playerViewDidChangeToState(KVVideoPlayerView&, KVPlayerState) {}
  virtual void playerViewDidChangeToQuality(KVVideoPlayerView&, KVPlaybackQuality) {}
  virtual void playerViewReceivedError(KVVideoPlayerView&, KVPlayerError) {}
  virtual void playerViewDidPlayTime(KVVideoPlayerView&, float /*seconds*/) {}
  // Nothing: the web view keeps its own colour.
  virtual std::optional<UIColor> playerViewPreferredWebViewBackgroundColor(KVVideoPlayerView&) { return std::nullopt; }
  // Nothing: no view covers the player while it loads.
  virtual std::shared_ptr<UIView> playerViewPreferredInitialLoadingView(KVVideoPlayerView&) { return nullptr; }
};
