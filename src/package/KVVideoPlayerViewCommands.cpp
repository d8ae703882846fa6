// The player's commands: one script statement each, in the page's "player" object.
// Texts (identifiers, addresses, quality names) enter the statements as JSON strings;
// seconds as numbers, flags as "true" or "false".
#include <charconv>
#include <cstdio>

#include "package/KVVideoPlayerView.h"

namespace {

std::string quoted(const std::string& text) { return Value(text).toJSON(); }

std::string number(double value) {
  char buffer[32];
  auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return error == std::errc() ? std::string(buffer, end) : "0";
}

std::string flag(bool value) { return value ? "true" : "false"; }

std::string quality(KVPlaybackQuality value) { return quoted(KVVideoPlayerView::stringForPlaybackQuality(value)); }

std::string videoList(const std::vector<std::string>& identifiers) {
  Value list = Value::array();
  for (const auto& identifier : identifiers) list.push_back(identifier);
  return list.toJSON();
}

std::string call(const char* function, std::initializer_list<std::string> arguments) {
  std::string statement = std::string("player.") + function + "(";
  bool first = true;
  for (const auto& argument : arguments) {
    statement += (first ? "" : ", ") + argument;
    first = false;
  }
  return statement + ");";
}

// A call whose one argument is an object of named values, as the page's player takes it.
std::string callWithObject(const char* function, const std::string& key, const std::string& identifier,
                           float startSeconds, float endSeconds, KVPlaybackQuality suggestedQuality) {
  return std::string("player.") + function + "({" + quoted(key) + ": " + quoted(identifier) +
         ", \"startSeconds\": " + number(startSeconds) + ", \"endSeconds\": " + number(endSeconds) +
         ", \"suggestedQuality\": " + quality(suggestedQuality) + "});";
}

}  // namespace

std::string KVVideoPlayerView::evaluate(const std::string& script) {
  return webView_ ? webView_->stringByEvaluatingJavaScriptFromString(script) : std::string();
}

void KVVideoPlayerView::playVideo() { evaluate("player.playVideo();"); }

void KVVideoPlayerView::pauseVideo() {
  // The page tells no pause it was asked for: the player tells its delegate itself.
  notifyDelegateOfCallback(*URL::fromString("kvplayer://onStateChange?data=" + stringForPlayerState(KVPlayerStatePaused)));
  evaluate("player.pauseVideo();");
}

void KVVideoPlayerView::stopVideo() { evaluate("player.stopVideo();"); }

void KVVideoPlayerView::seekToSeconds(float seconds, bool allowSeekAhead) {
  evaluate(call("seekTo", {number(seconds), flag(allowSeekAhead)}));
}

void KVVideoPlayerView::cueVideoById(const std::string& videoId, float startSeconds, KVPlaybackQuality suggestedQuality) {
  evaluate(call("cueVideoById", {quoted(videoId), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::cueVideoById(const std::string& videoId, float startSeconds, float endSeconds,
                                     KVPlaybackQuality suggestedQuality) {
  evaluate(callWithObject("cueVideoById", "videoId", videoId, startSeconds, endSeconds, suggestedQuality));
}

void KVVideoPlayerView::loadVideoById(const std::string& videoId, float startSeconds,
                                      KVPlaybackQuality suggestedQuality) {
  evaluate(call("loadVideoById", {quoted(videoId), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::loadVideoById(const std::string& videoId, float startSeconds, float endSeconds,
                                      KVPlaybackQuality suggestedQuality) {
  evaluate(callWithObject("loadVideoById", "videoId", videoId, startSeconds, endSeconds, suggestedQuality));
}

void KVVideoPlayerView::cueVideoByURL(const std::string& videoURL, float startSeconds,
                                      KVPlaybackQuality suggestedQuality) {
  evaluate(call("cueVideoByUrl", {quoted(videoURL), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::cueVideoByURL(const std::string& videoURL, float startSeconds, float endSeconds,
                                      KVPlaybackQuality suggestedQuality) {
  evaluate(call("cueVideoByUrl", {quoted(videoURL), number(startSeconds), number(endSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::loadVideoByURL(const std::string& videoURL, float startSeconds,
                                       KVPlaybackQuality suggestedQuality) {
  evaluate(call("loadVideoByUrl", {quoted(videoURL), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::loadVideoByURL(const std::string& videoURL, float startSeconds, float endSeconds,
                                       KVPlaybackQuality suggestedQuality) {
  evaluate(
      call("loadVideoByUrl", {quoted(videoURL), number(startSeconds), number(endSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::cuePlaylistByPlaylistId(const std::string& playlistId, int index, float startSeconds,
                                                KVPlaybackQuality suggestedQuality) {
  evaluate(call("cuePlaylist", {quoted(playlistId), number(index), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::cuePlaylistByVideos(const std::vector<std::string>& videoIds, int index, float startSeconds,
                                            KVPlaybackQuality suggestedQuality) {
  evaluate(call("cuePlaylist", {videoList(videoIds), number(index), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::loadPlaylistByPlaylistId(const std::string& playlistId, int index, float startSeconds,
                                                 KVPlaybackQuality suggestedQuality) {
  evaluate(call("loadPlaylist", {quoted(playlistId), number(index), number(startSeconds), quality(suggestedQuality)}));
}

void KVVideoPlayerView::loadPlaylistByVideos(const std::vector<std::string>& videoIds, int index, float startSeconds,
                                             KVPlaybackQuality suggestedQuality) {
  evaluate(call("loadPlaylist", {videoList(videoIds), number(index), number(startSeconds), quality(suggestedQuality)}));
}

float KVVideoPlayerView::playbackRate() { return std::strtof(evaluate("player.getPlaybackRate();").c_str(), nullptr); }

void KVVideoPlayerView::setPlaybackRate(float rate) {
  char statement[64];
  std::snprintf(statement, sizeof statement, "player.setPlaybackRate(%f);", rate);
  evaluate(statement);
}

std::optional<Value> KVVideoPlayerView::availablePlaybackRates() {
  return Value::fromJSON(evaluate("player.getAvailablePlaybackRates();"));
}

void KVVideoPlayerView::setLoop(bool loop) { evaluate(call("setLoop", {flag(loop)})); }

void KVVideoPlayerView::setShuffle(bool shuffle) { evaluate(call("setShuffle", {flag(shuffle)})); }

float KVVideoPlayerView::videoLoadedFraction() {
  return std::strtof(evaluate("player.getVideoLoadedFraction();").c_str(), nullptr);
}

KVPlayerState KVVideoPlayerView::playerState() { return playerStateForString(evaluate("player.getPlayerState();")); }

float KVVideoPlayerView::currentTime() { return std::strtof(evaluate("player.getCurrentTime();").c_str(), nullptr); }

double KVVideoPlayerView::duration() { return std::strtod(evaluate("player.getDuration();").c_str(), nullptr); }

KVPlaybackQuality KVVideoPlayerView::playbackQuality() {
  return playbackQualityForString(evaluate("player.getPlaybackQuality();"));
}

void KVVideoPlayerView::setPlaybackQuality(KVPlaybackQuality value) {
  evaluate(call("setPlaybackQuality", {quality(value)}));
}

std::optional<std::vector<KVPlaybackQuality>> KVVideoPlayerView::availableQualityLevels() {
  std::string levels = evaluate("player.getAvailableQualityLevels().toString();");
  if (levels.empty()) return std::nullopt;
  std::vector<KVPlaybackQuality> out;
  for (size_t at = 0; at <= levels.size();) {
    size_t end = levels.find(',', at);
    if (end == std::string::npos) end = levels.size();
    out.push_back(playbackQualityForString(levels.substr(at, end - at)));
    at = end + 1;
  }
  return out;
}

std::optional<URL> KVVideoPlayerView::videoUrl() { return URL::fromString(evaluate("player.getVideoUrl();")); }

std::string KVVideoPlayerView::videoEmbedCode() { return evaluate("player.getVideoEmbedCode();"); }

std::optional<Value> KVVideoPlayerView::playlist() {
  auto list = Value::fromJSON(evaluate("player.getPlaylist();"));
  return list && list->isArray() ? list : std::nullopt;
}

int KVVideoPlayerView::playlistIndex() {
  return static_cast<int>(std::strtol(evaluate("player.getPlaylistIndex();").c_str(), nullptr, 10));
}

void KVVideoPlayerView::nextVideo() { evaluate("player.nextVideo();"); }

void KVVideoPlayerView::previousVideo() { evaluate("player.previousVideo();"); }

void KVVideoPlayerView::playVideoAt(int index) { evaluate(call("playVideoAt", {number(index)})); }
