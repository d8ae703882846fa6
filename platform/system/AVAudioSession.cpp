#include "system/AVAudioSession.h"

#include <mutex>

namespace {
std::mutex gMutex;
}  // namespace

AVAudioSession& AVAudioSession::sharedInstance() {
  static AVAudioSession* session = new AVAudioSession();
  return *session;
}

void AVAudioSession::setCategory(const std::string& category) {
  std::lock_guard<std::mutex> lock(gMutex);
  category_ = category;
}

std::string AVAudioSession::category() const {
  std::lock_guard<std::mutex> lock(gMutex);
  return category_;
}
