// What the package page asks of its package's depiction, and what a depiction gives it.
//
// A depiction fills the page through these members and flags, on the main thread:
// `bannerCached` (a cached banner is shown: do not fetch the depiction's), the changelog
// (`outlets().changelogContentLbl`, `changelogVersionLbl`, then `cydiaPackageHaveChangelog`
// and setContent), the description (`outlets().descriptionLbl`), the name
// (`outlets().nameLbl`), its screenshots (depictionScreenshotsArrived, which downloads
// them through setPackageScreenshotsFromArray or lays the page out), the banner as the
// scroll view's header, getPackageInformation when a fetch failed, and
// updateGetButtonTitle.
//
// The fetches and the parsing of native and scraped depictions, the Markdown text and the
// embedded player are not built yet: getSileoDepiction and getHtmlPageForCydiaPackage
// answer as a depiction that holds nothing, attributedTextFromMarkdown shows the text as
// it is written, and loadVideoPreview names the video in the place of the player.
#include "foundation/Log.h"
#include "foundation/LocalizedStrings.h"
#include "package/KVPackageScreenshots.h"
#include "package/KVPackageSnapshot.h"
#include "package/PackageDetailsViewController.h"

void PackageDetailsViewController::getSileoDepiction() {
  KVLog("The native depiction of %s is not read yet", packageIdentifier_.c_str());
  depictionScreenshotsArrived({});
}

void PackageDetailsViewController::getHtmlPageForCydiaPackage() {
  KVLog("The depiction page of %s is not read yet", packageIdentifier_.c_str());
  depictionScreenshotsArrived({});
}

void PackageDetailsViewController::depictionScreenshotsArrived(const std::vector<std::string>& addresses) {
  if (!addresses.empty() && screenshotsDictionary_.empty() &&
      KVPackageSnapshot::texts(packageDictionary_, "screenshotsLocalPaths").empty()) {
    setPackageScreenshotsFromArray(addresses);
    return;
  }
  // A load of the record's own screenshots that is still running ends with its layout.
  if (isLoadingScreenshots()) return;
  refreshForCydiaPackages = true;
  screenshotRetrievingFail = false;
  setContent();
}

void PackageDetailsViewController::setPackageScreenshotsFromArray(const std::vector<std::string>& addresses) {
  if (screenshots_) screenshots_->loadAddresses(addresses);
}

NSAttributedString PackageDetailsViewController::attributedTextFromMarkdown(
    const std::optional<std::string>& markdown) const {
  if (!markdown || markdown->empty()) return {};
  std::string text = *markdown;
  while (!text.empty() && text.back() == '\n') text.pop_back();
  return NSAttributedString(text);
}

std::shared_ptr<UIImage> PackageDetailsViewController::makeRoundedImage(const std::shared_ptr<UIImage>& image,
                                                                        double radius) {
  return KVPackageScreenshots::makeRoundedImage(image, radius);
}

void PackageDetailsViewController::loadVideoPreview(const std::string& videoIdentifier) {
  outlets_.videoPreviewPlayer->setAccessibilityLabel(NSLocalizedFormat("Video %@", {videoIdentifier}));
}
