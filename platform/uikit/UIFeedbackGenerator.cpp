#include "uikit/UIFeedbackGenerator.h"

namespace {
std::mutex gMutex;
std::vector<UIFeedbackRecord> gRecords;
}  // namespace

void UIFeedbackGenerator::play(const std::string& kind, long style) {
  std::lock_guard<std::mutex> lock(gMutex);
  gRecords.push_back({kind, style, prepared_});
}

std::vector<UIFeedbackRecord> UIFeedbackGenerator::recordedFeedback() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gRecords;
}

void UIFeedbackGenerator::clearRecordedFeedback() {
  std::lock_guard<std::mutex> lock(gMutex);
  gRecords.clear();
}
