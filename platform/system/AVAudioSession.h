#pragma once
// The application's audio session: its category is recorded, nothing is heard.
#include <string>

inline constexpr const char* AVAudioSessionCategoryAmbient = "AVAudioSessionCategoryAmbient";

class AVAudioSession {
 public:
  static AVAudioSession& sharedInstance();
  void setCategory(const std::string& category);
  std::string category() const;

 private:
  AVAudioSession() = default;
  std::string category_ = "AVAudioSessionCategorySoloAmbient";
};
