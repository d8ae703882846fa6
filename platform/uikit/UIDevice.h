#pragma once
// The emulated device: its system version (screens branch at 11.0, 11.1 and 13.0), its
// model and its idiom. Start-up sets these from the device's facts; tests set them.
#include <string>

enum UIUserInterfaceIdiom : long {
  UIUserInterfaceIdiomUnspecified = -1,
  UIUserInterfaceIdiomPhone = 0,
  UIUserInterfaceIdiomPad = 1,
};

class UIDevice {
 public:
  static UIDevice& currentDevice();

  const std::string& systemVersion() const { return systemVersion_; }
  void setSystemVersion(std::string version) { systemVersion_ = std::move(version); }
  const std::string& systemName() const { return systemName_; }
  const std::string& model() const { return model_; }
  void setModel(std::string model) { model_ = std::move(model); }
  const std::string& name() const { return name_; }
  UIUserInterfaceIdiom userInterfaceIdiom() const { return idiom_; }
  // Also sets the model ("iPhone" or "iPad") and the main screen's size for that idiom.
  void setUserInterfaceIdiom(UIUserInterfaceIdiom idiom);

  // Numeric comparison of dotted versions: "13.0" >= "13", "11.10" > "11.9".
  static int compareVersions(const std::string& a, const std::string& b);
  bool systemVersionIsAtLeast(const std::string& version) const {
    return compareVersions(systemVersion_, version) >= 0;
  }

  // Back to an iPhone on 14.4.
  void reset();

 private:
  UIDevice();
  std::string systemVersion_;
  std::string systemName_ = "iOS";
  std::string model_;
  std::string name_ = "iPhone";
  UIUserInterfaceIdiom idiom_ = UIUserInterfaceIdiomPhone;
};
