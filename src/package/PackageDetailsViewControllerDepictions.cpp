// What the package page reads of its package's depiction: the native JSON depiction the
// record names, else, for a package of one of the four default repositories, the
// repository's page of it (whose reader the repository decides), and the external
// changelog page a native depiction may point to. They give the banner (cached in
// "DepictionsBanners"), the changelog, the description, a name and the screenshots.
//
// Every load makes a parser of its own, so two pages loading at once never read each
// other's documents. Answers reach the page on the main thread and only while it lives;
// the banner's file and the screenshots' files and record are written anyway.
#include "core/KVKnownRepositories.h"
#include "core/KVPlatform.h"
#include "core/NSURLSessionConfigurationNoCache.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "foundation/WeakSelf.h"
#include "html/HTMLDocument.h"
#include "html/HTMLString.h"
#include "interface/UIScrollViewInteractiveHeader.h"
#include "markdown/MDMarkdown.h"
#include "package/KVDepictionsParser.h"
#include "package/KVPackageScreenshots.h"
#include "package/KVPackageSnapshot.h"
#include "package/KVVideoPlayerView.h"
#include "package/PackageDetailsViewController.h"
#include "richtext/NSAttributedStringHTML.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationBar.h"
#include "uikit/UINavigationController.h"

namespace {

using KVPackageSnapshot::text;

// The kinds of page the four default repositories give of a package.
enum class PageKind { None, Grandel, Morvik, Pevrin };

PageKind pageKind(const std::string& location) {
  auto known = KVKnownRepositories::current();
  if (location == known.largeDefaultRepository) return PageKind::Grandel;
  if (location == known.storeRepository || location == known.archivedRepositoryA) return PageKind::Morvik;
  if (location == known.archivedRepositoryB) return PageKind::Pevrin;
  return PageKind::None;
}

// A GET on a session of its own that caches nothing; the session lets go once it ended.
void fetchWithoutCache(const URL& url, URLSessionDataCompletion completion) {
  URLRequest request(url);
  request.setReplyLimits(URLReplyKinds::kWebPage);
  auto session = URLSession::sessionWithConfiguration(NSURLSessionConfigurationNoCache::noCacheConfigureation());
  session->dataTaskWithRequest(request, std::move(completion))->resume();
  session->finishTasksAndInvalidate();
}

std::string replacedAll(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
    text.replace(at, what.size(), with);
  return text;
}

}  // namespace

// ---- The native depiction

void PackageDetailsViewController::getSileoDepiction() {
  auto address = text(packageDictionary_, "sileoDepiction");
  auto url = address ? URL::fromString(*address) : std::nullopt;
  if (!url || !url->isHTTP()) {
    KVLog("Error : %s is no depiction address", address.value_or("").c_str());
    return getHtmlPageForCydiaPackage();
  }
  auto weak = weakSelf(this);
  fetchWithoutCache(*url, [weak](std::optional<Data> data, URLResponseRef, ErrorRef error) {
    if (error) {
      KVLog("Error : %s", error->localizedDescription().c_str());
      // The repository's own page of the package, for a default repository.
      performOnMainThread([weak] {
        if (auto self = weak.lock()) self->getHtmlPageForCydiaPackage();
      });
      return;
    }
    // Whatever the status: an error page reads as no depiction.
    auto parser = KVDepictionsParser::make();
    parser->depictionsParserWithSileoData(data.value_or(Data{}));
    performOnMainThread([weak, parser] {
      if (auto self = weak.lock()) self->sileoDepictionArrived(parser);
    });
  });
}

void PackageDetailsViewController::sileoDepictionArrived(const std::shared_ptr<KVDepictionsParser>& parser) {
  auto weak = weakSelf(this);
  auto onMain = [weak](auto step) {
    return [weak, step](auto answer) {
      performOnMainThread([weak, step, answer = std::move(answer)]() mutable {
        if (auto self = weak.lock()) step(*self, std::move(answer));
      });
    };
  };
  // 1. The banner, unless a cached one is shown.
  if (!bannerCached)
    parser->retrieveBannerURLFromSileoDepiction(onMain([](PackageDetailsViewController& self, std::optional<std::string> url) {
      self.loadDepictionBanner(std::move(url));
    }));
  // 2. The changelog.
  parser->retrieveChangelogFromSileoDepiction(onMain([parser](PackageDetailsViewController& self, std::optional<std::string> text) {
    self.showDepictionChangelog(std::move(text), parser);
  }));
  // 3. The description, 4. the Get button.
  parser->retrieveDescriptionFromSileoDepiction(onMain([](PackageDetailsViewController& self, std::optional<std::string> text) {
    self.showDepictionDescription(std::move(text));
  }));
  updateGetButtonTitle();
  // 5. The screenshots.
  parser->retrieveScreenshotsFromSileoDepiction(onMain([](PackageDetailsViewController& self, std::vector<std::string> list) {
    self.depictionScreenshotsArrived(list);
  }));
}

void PackageDetailsViewController::loadDepictionBanner(std::optional<std::string> address) {
  auto url = address ? URL::fromString(*address) : std::nullopt;
  if (!address) {
    UIScrollViewInteractiveHeader::removeHeaderView(*outlets_.scrollView);
    return;
  }
  if (!url) return;
  fetchBanner(*url);
}

void PackageDetailsViewController::showDepictionChangelog(std::optional<std::string> markdown,
                                                          const std::shared_ptr<KVDepictionsParser>& parser) {
  if (markdown) {
    cydiaPackageHaveChangelog = true;
    outlets_.changelogContentLbl->setAttributedText(attributedTextFromMarkdown(markdown));
    outlets_.changelogVersionLbl->setText(text(packageDictionary_, "version").value_or(""));
    setContent();
    return;
  }
  auto weak = weakSelf(this);
  parser->retrieveExternalChangelogFromSileoDepiction([weak](std::optional<std::string> address) {
    performOnMainThread([weak, address] {
      auto self = weak.lock();
      if (!self) return;
      if (address) return self->getExternalChangelog(*address);
      self->cydiaPackageHaveChangelog = false;
      self->setContent();
    });
  });
}

void PackageDetailsViewController::getExternalChangelog(const std::string& address) {
  auto weak = weakSelf(this);
  auto failed = [weak](const std::string& reason) {
    KVLog("Error : %s", reason.c_str());
    performOnMainThread([weak] {
      auto self = weak.lock();
      if (!self) return;
      self->getPackageInformation();
      self->setContent();
    });
  };
  auto url = URL::fromString(address);
  if (!url || !url->isHTTP()) return failed(address + " is no changelog address");
  fetchWithoutCache(*url, [weak, failed](std::optional<Data> data, URLResponseRef, ErrorRef error) {
    if (error) return failed(error->localizedDescription());
    auto page = html::HTMLDocument::documentWithData(data.value_or(Data{}), std::nullopt);
    auto list = KVDepictionsParser::Pages::externalChangelog(*page);
    performOnMainThread([weak, list] {
      if (auto self = weak.lock()) self->showPageChangelog(list);
    });
  });
}

// A changelog read from a page, shown as it is written.
void PackageDetailsViewController::showPageChangelog(std::optional<std::string> changelog) {
  cydiaPackageHaveChangelog = changelog.has_value();
  if (changelog) outlets_.changelogContentLbl->setText(*changelog);
  setContent();
}

void PackageDetailsViewController::showDepictionDescription(std::optional<std::string> markdown) {
  if (!markdown) return;
  outlets_.descriptionLbl->setAttributedText(attributedTextFromMarkdown(markdown));
  fitTextView(outlets_.descriptionLbl);
  setContent();
}

// ---- The default repositories' pages

void PackageDetailsViewController::getHtmlPageForCydiaPackage() {
  auto location = text(packageDictionary_, "sourceLocation");
  PageKind kind = location ? pageKind(*location) : PageKind::None;
  if (kind == PageKind::None) return;
  std::optional<std::string> page = kind == PageKind::Morvik
                                        ? std::optional(KVKnownRepositories::current().outsideStore + "/info/" +
                                                        URL::percentEncode(packageIdentifier_, "+") + "/")
                                        : text(packageDictionary_, "website");
  auto url = page ? URL::fromString(*page) : std::nullopt;
  if (!url || !url->isHTTP()) return;  // no page to ask for: nothing is sent

  URLRequest request(*url);
  request.setReplyLimits(URLReplyKinds::kWebPage);
  request.setValue("Telesphoreo APT-HTTP/1.0.592", "User-Agent");
  request.setValue(KVPlatform::deviceModelID(), "X-Machine");
  request.setValue(KVPlatform::firmwareVersion(), "X-Firmware");
  request.setValue(KVPlatform::deviceUDID(), "X-Unique-ID");
  auto weak = weakSelf(this);
  URLSession::sharedSession()
      ->dataTaskWithRequest(request, [weak, location = *location, pageURL = url->absoluteString()](
                                         std::optional<Data> data, URLResponseRef, ErrorRef error) {
        if (error || !data) {
          if (error) KVLog("Error : %s", error->localizedDescription().c_str());
          performOnMainThread([weak] {
            if (auto self = weak.lock()) self->getPackageInformation();
          });
          return;
        }
        auto parser = KVDepictionsParser::make();
        parser->depictionsParserWithData(*data);
        performOnMainThread([weak, parser, location, pageURL] {
          if (auto self = weak.lock()) self->cydiaPageArrived(parser, location, pageURL);
        });
      })
      ->resume();
}

void PackageDetailsViewController::cydiaPageArrived(const std::shared_ptr<KVDepictionsParser>& parser,
                                                    const std::string& location, const std::string& pageURL) {
  auto weak = weakSelf(this);
  auto onMain = [weak](auto step) {
    return [weak, step](auto answer) {
      performOnMainThread([weak, step, answer = std::move(answer)]() mutable {
        if (auto self = weak.lock()) step(*self, std::move(answer));
      });
    };
  };
  using Text = std::optional<std::string>;
  auto name = onMain([](PackageDetailsViewController& self, Text name) {
    if (name) self.outlets_.nameLbl->setText(*name);
  });
  auto description = onMain([](PackageDetailsViewController& self, Text text) { self.showDepictionDescription(text); });
  auto changelog = onMain([](PackageDetailsViewController& self, Text changelog) {
    if (changelog) self.outlets_.changelogVersionLbl->setText(text(self.packageDictionary_, "version").value_or(""));
    self.showPageChangelog(changelog);
  });
  auto screenshots = onMain([](PackageDetailsViewController& self, std::vector<std::string> list) {
    self.depictionScreenshotsArrived(list);
  });
  switch (pageKind(location)) {
    case PageKind::Grandel:
      parser->retrieveNameFromGrandelDepiction(name);
      parser->retrieveDescriptionFromGrandelDepiction(description);
      parser->retrieveChangelogFromGrandelDepiction(changelog);
      parser->retrieveScreenshotsFromGrandelDepictionForPackageWithURL(pageURL, screenshots);
      break;
    case PageKind::Morvik:
      parser->retrieveNameFromMorvikTypeDepiction(name);
      parser->retrieveDescriptionFromMorvikTypeDepiction(description);
      parser->retrieveChangelogFromMorvikTypeDepictionForPackageWithIdentifier(packageIdentifier_, changelog);
      parser->retrieveScreenshotsFromMorvikTypeDepiction(screenshots);
      break;
    case PageKind::Pevrin:
      parser->retrieveDescriptionFromPevrinDepiction(description);
      parser->retrieveChangelogFromPevrinDepictionForPackageWithURL(pageURL, changelog);
      parser->retrieveScreenshotsFromPevrinDepictionForPackageWithURL(
          pageURL, [screenshots](std::optional<std::vector<std::string>> list) {
            screenshots(list.value_or(std::vector<std::string>{}));
          });
      break;
    case PageKind::None:
      break;
  }
}

// ---- Screenshots

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

// ---- Texts and images

NSAttributedString PackageDetailsViewController::attributedTextFromMarkdown(
    const std::optional<std::string>& markdown) const {
  return attributedTextFromMarkdown(markdown, isDarkMode());
}

NSAttributedString PackageDetailsViewController::attributedTextFromMarkdown(const std::optional<std::string>& markdown,
                                                                            bool darkMode) {
  if (!markdown || markdown->empty()) return {};
  std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(*markdown);
  // Headings and paragraphs apart by an empty line; list items without paragraphs.
  for (const char* level : {"1", "2", "3", "4", "5"}) html = replacedAll(html, std::string("<h") + level, std::string("<br /><h") + level);
  for (const char* level : {"1", "2", "3", "4", "5"})
    html = replacedAll(html, std::string("</h") + level + ">", std::string("</h") + level + "><br />");
  html = replacedAll(html, "</p><p>", "</p><br /><p>");
  html = replacedAll(html, "</p>\n<p>", "</p><br /><p>");
  html = replacedAll(html, "<li><p>", "<li>");
  html = replacedAll(html, "</p></li>", "</li>");
  std::string wrapped = "<span style=\"font-family: -apple-system; font-size: 15.0; color:" +
                        std::string(darkMode ? "white" : "black") + "\">" + html + "</span>";
  NSAttributedString text = NSAttributedStringHTML::attributedStringWithHTML(wrapped);
  NSAttributedStringHTML::removeUnderlinesFromAddresses(text);
  NSTextAttributes left;
  left.paragraphStyle = NSParagraphStyle{};
  left.paragraphStyle->alignment = NSTextAlignmentLeft;
  if (!text.empty()) text.addAttributes(left, {0, text.length()});
  size_t end = text.length();
  while (end > 0 && text.utf16()[end - 1] == u'\n') --end;
  if (end < text.length()) text.deleteCharactersInRange({end, text.length() - end});
  return text;
}

std::shared_ptr<UIImage> PackageDetailsViewController::makeRoundedImage(const std::shared_ptr<UIImage>& image,
                                                                        double radius) {
  return KVPackageScreenshots::makeRoundedImage(image, radius);
}

// The package's video (its identifier at the video service) in the video section's place.
void PackageDetailsViewController::loadVideoPreview(const std::string& videoIdentifier) {
  UIView* place = outlets_.videoPreviewPlayer;
  std::shared_ptr<KVVideoPlayerView> player;
  for (const auto& subview : place->subviews())
    if (auto existing = std::dynamic_pointer_cast<KVVideoPlayerView>(subview)) player = existing;
  if (!player) {
    player = std::make_shared<KVVideoPlayerView>(place->bounds());
    place->addSubview(player);
  }
  place->setAccessibilityLabel(NSLocalizedFormat("Video %@", {videoIdentifier}));
  player->loadWithVideoId(videoIdentifier);
}
