#pragma once
// Haptic feedback: nothing vibrates here; every feedback played is recorded so tests
// can see that a press or a selection was felt.
#include <mutex>
#include <string>
#include <vector>

struct UIFeedbackRecord {
  std::string kind;  // "selection", "impact" or "notification"
  long style = 0;    // the impact style or the notification type
  bool prepared = false;
};

class UIFeedbackGenerator {
 public:
  virtual ~UIFeedbackGenerator() = default;
  void prepare() { prepared_ = true; }
  bool isPrepared() const { return prepared_; }

  static std::vector<UIFeedbackRecord> recordedFeedback();
  static void clearRecordedFeedback();

 protected:
  void play(const std::string& kind, long style);

 private:
  bool prepared_ = false;
};
