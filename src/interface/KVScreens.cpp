#include "interface/KVScreens.h"

#include <cctype>

#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"

namespace {
bool startsWithIgnoringCase(const std::string& text, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}
}  // namespace

std::shared_ptr<UIViewController> KVScreens::package(const std::string& identifier, KVPackagePageOptions options) {
  auto record = KVRPackage::objectForPrimaryKey(identifier);
  std::optional<KVRSource> source;
  if (record && record->sourceLocation()) source = KVRSource::objectForPrimaryKey(*record->sourceLocation());
  // The web depiction is the repository's own page of the package: only a source that
  // asks for it, and only a website the browser can load; anything else is the native page.
  if (source && source->seeOriginalDepictions().value_or(false)) {
    std::string website = record->website().value_or("");
    if (startsWithIgnoringCase(website, "https://") || startsWithIgnoringCase(website, "http://"))
      return webDepiction(identifier, website, options);
  }
  return nativePackagePage(identifier, options);
}

std::shared_ptr<UIViewController> KVScreens::inNavigation(std::shared_ptr<UIViewController> screen) {
  auto navigation = std::make_shared<UINavigationController>(std::move(screen));
  if (UIDevice::currentDevice().userInterfaceIdiom() == UIUserInterfaceIdiomPad)
    navigation->setModalPresentationStyle(UIModalPresentationFormSheet);
  return navigation;
}
