#include "app/KVURLSchemeTask.h"

#include <cctype>

#include "account/KVSearchDeveloper.h"
#include "app/KVRootScreens.h"
#include "app/QuillbarkRoot.h"
#include "core/DebianNames.h"
#include "core/NSStringKorvaleExtensions.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "core/KVSourceLocation.h"
#include "core/SourceLocations.h"
#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "interface/KVApplicationActions.h"
#include "uikit/UIAlertController.h"

namespace {
bool startsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// A scheme is read without regard to case.
bool startsWithIgnoringCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
  return true;
}

// Whether the text begins with a scheme of its own ("ftp://", "file://"): it is kept, so
// that the location check names it, rather than read as a host after "https://".
bool hasScheme(const std::string& text) {
  size_t separator = text.find("://");
  if (separator == std::string::npos || separator == 0 || !std::isalpha(static_cast<unsigned char>(text[0])))
    return false;
  for (size_t i = 0; i < separator; ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

// The text after the first occurrence of `marker`, none without it.
std::optional<std::string> after(const std::string& text, const std::string& marker) {
  auto at = text.find(marker);
  if (at == std::string::npos) return std::nullopt;
  return text.substr(at + marker.size());
}

}  // namespace

KVURLSchemeTask& KVURLSchemeTask::instance() {
  static KVURLSchemeTask* task = new KVURLSchemeTask();  // lives as long as the process
  return *task;
}

std::string KVURLSchemeTask::normalisedLocation(const std::string& text) {
  std::string location = startsWithIgnoringCase(text, "http") || hasScheme(text) ? SourceLocations::normalized(text)
                                                                                 : "https://" + text;
  if (location.empty() || location.back() != '/') location += "/";
  return location;
}

std::optional<std::string> KVURLSchemeTask::parseComponents(const std::string& url, const std::string& key) {
  std::string text;
  if (url.find("shared=Quillbark") != std::string::npos) {
    text = url;
  } else if (auto rest = after(url, "show/")) {
    text = *rest;
  } else {
    return std::nullopt;
  }
  std::optional<std::string> found;
  for (const auto& piece : NSStringKorvaleExtensions::componentsSeparatedByCharacter(text, '&')) {
    auto parts = NSStringKorvaleExtensions::componentsSeparatedByCharacter(piece, '=');
    auto name = URL::percentDecode(parts.front());
    auto value = URL::percentDecode(parts.back());
    if (!name || !value) continue;  // escapes that cannot be removed
    std::string pieceKey = *name;
    if (auto slash = pieceKey.find('/'); slash != std::string::npos) pieceKey = pieceKey.substr(slash + 1);
    if (pieceKey == key) found = *value;
  }
  return found;
}

void KVURLSchemeTask::doQueuedSchemeTask() {
  auto url = URL::fromString(URL_);
  std::string host = url ? url->host() : std::string();
  if (host == "add") {
    auto rest = after(URL_, "add/");
    if (!rest || rest->empty()) return;
    // The application's own share links say "add/repo=<location>".
    std::string location = startsWith(*rest, "repo=") ? rest->substr(5) : *rest;
    if (location.empty()) return;
    location = normalisedLocation(location);
    if (KVRSource::objectForPrimaryKey(location)) repoAlreadyAdded(location);
    else addRepoAlert(location);
  } else if (host == "url") {
    auto rest = after(URL_, kSharePagePrefix);
    if (!rest || rest->empty()) return;
    std::string location = hasScheme(*rest) ? SourceLocations::normalized(*rest) : "https://" + *rest;
    if (KVRSource::objectForPrimaryKey(location)) repoAlreadyAdded(location);
    else addRepoAlert(location);
  } else if (host == "show") {
    auto rest = after(URL_, "://show/");
    if (!rest) return;
    auto name = parseComponents(URL_, "name");
    auto identifier = parseComponents(URL_, "bundleid");
    if (!identifier) identifier = rest->substr(0, rest->find('&'));
    if (identifier->empty()) return;
    // The records keep identifiers as the import does, whatever case a link writes.
    DebianNames::makeRecordIdentifier(*identifier);
    if (auto repo = parseComponents(URL_, "repo")) {
      std::string location = normalisedLocation(*repo);
      showPackageAlert(name, *identifier, location, !KVRSource::objectForPrimaryKey(location));
    } else {
      showPackageAlert(name, *identifier, std::nullopt, false);
    }
  } else if (host == "developer") {
    auto rest = after(URL_, "://developer/");
    if (!rest || rest->empty()) return;
    std::string name = *rest;
    if (auto named = after(name, "developer=")) name = *named;
    for (auto& c : name)
      if (c == '+') c = ' ';
    if (auto decoded = URL::percentDecode(name)) name = *decoded;
    showDeveloper(name);
  }
}

void KVURLSchemeTask::present(std::shared_ptr<UIViewController> screen) {
  KVApplicationActions::shared("KVURLSchemeTask").presentViewController(KVScreens::inNavigation(std::move(screen)), {});
}

void KVURLSchemeTask::presentAlert(const std::string& title, const std::string& message) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), NSLocalizedString(message),
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleCancel));
  KVApplicationActions::shared("KVURLSchemeTask").presentViewController(alert, {});
}

void KVURLSchemeTask::repoAlreadyAdded(const std::string& location) {
  performOnMainThread([this, location] {
    sourcePage_ = QuillbarkRoot::screens("KVURLSchemeTask")->sourcePage(location, true);
    present(sourcePage_);
  });
}

void KVURLSchemeTask::addRepoAlert(const std::string& location) {
  // A location that can't be a source is not offered: the reason is.
  auto typed = KVSourceLocation::fromText(location);
  if (!typed) {
    std::string message = NSLocalizedFormat("%@ can't be added: %@.", {location, typed.error()->localizedDescription()});
    performOnMainThread([this, message] { presentAlert("Add repository", message); });
    return;
  }
  performOnMainThread([this, location] {
    auto alert = UIAlertController::alertControllerWithTitle(
        NSLocalizedString("Add repository"),
        NSLocalizedFormat("Would you like to add repository: %@ to Quillbark", {location}), UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("No, thanks"), UIAlertActionStyleCancel));
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Yes"), UIAlertActionStyleDefault,
                                                    [this, location](UIAlertAction&) { addSourceWithURL(location); }));
    KVApplicationActions::shared("KVURLSchemeTask").presentViewController(alert, {});
  });
}

void KVURLSchemeTask::addSourceWithURL(const std::string& location) {
  QuillbarkRoot::screenContext("KVURLSchemeTask").sources->addSourceWithLocation(location, false);
}

void KVURLSchemeTask::showPackageAlert(const std::optional<std::string>& name, const std::string& identifier,
                                      const std::optional<std::string>& location, bool mustAddRepository) {
  performOnMainThread([this, name, identifier, location, mustAddRepository] {
    if (!mustAddRepository || !location) {
      auto package = KVRPackage::objectForPrimaryKey(identifier);
      if (!package) {
        presentAlert("Show package", "Package does not exist.");
        return;
      }
      packageDetails_ = QuillbarkRoot::screens("KVURLSchemeTask")->nativePackagePage(identifier, {.isComingFromURLScheme = true});
      packageDetails_->setTitle(package->name().value_or(identifier));
      present(packageDetails_);
      return;
    }
    std::string message =
        name ? NSLocalizedFormat("Would you like to add repository: %@ to Quillbark, in order to show package: %@",
                                 {*location, *name})
             : NSLocalizedFormat("Would you like to add repository: %@ to Quillbark, in order to show the package",
                                 {*location});
    auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Show package"), message,
                                                             UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Yes"), UIAlertActionStyleDefault,
                                                    [this, identifier, location = *location](UIAlertAction&) {
                                                      bundleID_ = identifier;
                                                      sourceObservation_ = NotificationCenter::defaultCenter().addObserver(
                                                          KVRSourceUpdatedNotification, &DispatchQueue::mainQueue(),
                                                          [this](const Notification&) { sourceRefreshed(); });
                                                      addSourceWithURL(location);
                                                    }));
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("No, thanks"), UIAlertActionStyleCancel));
    KVApplicationActions::shared("KVURLSchemeTask").presentViewController(alert, {});
  });
}

void KVURLSchemeTask::sourceRefreshed() {
  sourceObservation_.invalidate();
  performAfterWithBlock(1.0, [this] { showPackageAlertDelayed(); });
}

void KVURLSchemeTask::showPackageAlertDelayed() { showPackageAlert(std::nullopt, bundleID_, std::nullopt, false); }

void KVURLSchemeTask::showDeveloper(const std::string& name) {
  // A name the vendor's developer search does not know goes to the search tab, which
  // takes it as its search text.
  auto searchTab = [name] {
    QuillbarkPersistentPreferences::sharedInstance().setObject(Value(name), "SearchDeveloper");
    QuillbarkRoot::screens("KVURLSchemeTask")->selectTab(KVTab::Search);
  };
  // The search answers nothing at all below three characters.
  bool asked = KVSearchDeveloper::instance().searchDeveloperProfiles(
      name, [this, name, searchTab](std::optional<std::vector<KVDeveloperProfile>> found) {
        performOnMainThread([this, name, searchTab, found] {
          if (!found || found->empty()) return searchTab();
          // The search matches every name holding the text: the developer of exactly
          // this name when the answer has one, else the first it gives.
          KVDeveloperProfile profile = KVDeveloperProfile::profileNamed(*found, name).value_or(found->front());
          if (!profile.fullName || profile.fullName->empty())
            return presentAlert("Show developer", "Could not find Developer.");
          developerDetails_ = QuillbarkRoot::screens("KVURLSchemeTask")->developer(profile, nullptr, true);
          present(developerDetails_);
        });
      });
  if (!asked) performOnMainThread(searchTab);
}
