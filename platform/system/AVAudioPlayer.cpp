#include "system/AVAudioPlayer.h"

#include <mutex>

namespace {
std::mutex gMutex;
std::vector<std::string>& played() {
  static std::vector<std::string>* list = new std::vector<std::string>();
  return *list;
}
}  // namespace

void AVAudioPlayer::play() {
  std::lock_guard<std::mutex> lock(gMutex);
  auto slash = path_.rfind('/');
  played().push_back(slash == std::string::npos ? path_ : path_.substr(slash + 1));
}

std::vector<std::string> AVAudioPlayer::playedSounds() {
  std::lock_guard<std::mutex> lock(gMutex);
  return played();
}

void AVAudioPlayer::clearPlayedSounds() {
  std::lock_guard<std::mutex> lock(gMutex);
  played().clear();
}
