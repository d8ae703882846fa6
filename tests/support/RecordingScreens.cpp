#include "support/RecordingScreens.h"

#include "account/KVDeveloperProfile.h"
#include "app/QuillbarkRoot.h"
#include "uikit/UIViewController.h"

std::shared_ptr<RecordingScreens> RecordingScreens::onRunningRoot() {
  KVScreenContext running = QuillbarkRoot::screenContext("RecordingScreens");
  return std::make_shared<RecordingScreens>(running.sources, running.packages, running.actions);
}

std::shared_ptr<UIViewController> RecordingScreens::note(std::string what) {
  opened_.push_back(what);
  auto screen = std::make_shared<UIViewController>();
  screen->setTitle(std::move(what));
  return screen;
}

std::shared_ptr<UIViewController> RecordingScreens::nativePackagePage(const std::string& identifier,
                                                                      KVPackagePageOptions options) {
  return note("native " + identifier + (options.isComingFromURLScheme ? " (link)" : ""));
}

std::shared_ptr<UIViewController> RecordingScreens::webDepiction(const std::string& identifier,
                                                                 const std::string& website, KVPackagePageOptions) {
  return note("web " + identifier + " " + website);
}

std::shared_ptr<UIViewController> RecordingScreens::developer(const KVDeveloperProfile& profile,
                                                              std::shared_ptr<UIImage>, bool) {
  return note("developer " + profile.fullName.value_or(""));
}

std::shared_ptr<UIViewController> RecordingScreens::webPage(const std::string& address, const std::string& title, bool) {
  return note("page " + address + " | " + title);
}
