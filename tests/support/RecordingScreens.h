#pragma once
// The root's navigation with the screens a test watches replaced: every package page, web
// depiction, developer page and in-app browser opened is noted in order ("native com.x",
// "web com.x https://...", "developer Name", "page https://... | Title") and is a plain
// screen titled with what was asked; every other screen is the application's own.
#include <memory>
#include <string>
#include <vector>

#include "app/KVRootScreens.h"

class RecordingScreens : public KVRootScreens {
 public:
  using KVRootScreens::KVRootScreens;
  // On the running root's managers, for a screen a test makes itself.
  static std::shared_ptr<RecordingScreens> onRunningRoot();

  const std::vector<std::string>& opened() const { return opened_; }

  std::shared_ptr<UIViewController> nativePackagePage(const std::string& identifier, KVPackagePageOptions options) override;
  std::shared_ptr<UIViewController> webDepiction(const std::string& identifier, const std::string& website,
                                                 KVPackagePageOptions options) override;
  std::shared_ptr<UIViewController> developer(const KVDeveloperProfile& profile, std::shared_ptr<UIImage> avatar,
                                              bool shownModally) override;
  std::shared_ptr<UIViewController> webPage(const std::string& address, const std::string& title,
                                            bool presented) override;

 private:
  std::shared_ptr<UIViewController> note(std::string what);
  std::vector<std::string> opened_;
};
