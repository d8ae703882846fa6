#include "account/AccountPlistViewController.h"

#include <set>

#include "account/KVAccount.h"
#include "account/KVBackupQuillbarkSetupTask.h"
#include "account/KVSetupBackup.h"
#include "account/KVStatistics.h"
#include "account/QuillbarkSetupRestorationViewController.h"
#include "core/KVPipelineManager.h"
#include "core/KVServiceReply.h"
#include "core/SourceLocations.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackages.h"
#include "database/KVRSources.h"
#include "database/KVStatusImport.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVPackageListKind.h"
#include "interface/KVScreens.h"
#include "uikit/UIApplication.h"
#include "uikit/UIFont.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIStackView.h"

namespace {
constexpr const char* kRestorationTitle = "Quillbark Setup Restoration";
constexpr const char* kRetrievalError = "There was an error during the backup retrieval, contact us or retry later.";
constexpr const char* kNotLoggedIn = "You aren't logged in";

std::string storedOr(const std::optional<std::string>& value, const char* placeholder) {
  return value && !value->empty() ? *value : NSLocalizedString(placeholder);
}
}  // namespace

AccountPlistViewController::AccountPlistViewController(KVScreenContext context, std::shared_ptr<UIImage> avatarImage)
    : RootViewController(dataWithPlist("Account")), context_(std::move(context)), avatarImage_(std::move(avatarImage)) {
  registerSelectors();
}

void AccountPlistViewController::registerSelectors() {
  exposeStringSelector("signInOutButtonTitle", [this] { return signInOutButtonTitle(); });
  exposeSelector("signInOut", [this] { signInOut(); });
  exposeSelector("openPurchased", [this] { openPurchased(); });
  exposeSelector("openCommercialStores", [this] { openCommercialStores(); });
  exposeSelector("openWishlist", [this] { openWishlist(); });
  exposeSelector("openFollowed", [this] { openFollowed(); });
  exposeSelector("openDownloadHistory", [this] { openDownloadHistory(); });
  exposeSelector("createBackup", [this] { createBackup(); });
  exposeSelector("openBackup", [this] { openBackup(); });
  exposeSelector("openSettings", [this] { openSettings(); });
  exposeSelector("openCredits", [this] { openCredits(); });
  exposeSelector("openChangelog", [this] { openChangelog(); });
  exposeSelector("openGithubIssues", [this] { openGithubIssues(); });
  exposeSelector("openDiscordJoin", [this] { openDiscordJoin(); });
  exposeSelector("openCroudinProject", [this] { openCroudinProject(); });
  exposeSelector("openTwitter", [this] { openTwitter(); });
  exposeSelector("openKorvaleWebsite", [this] { openKorvaleWebsite(); });
  exposeSelector("openKorvalePatreon", [this] { openKorvalePatreon(); });
  // The backup card's other button sends it to the screen, its delegate.
  exposeSelector("backupOnline", [this] { backupOnline(); });
}

bool AccountPlistViewController::isSignedIn() {
  auto username = KVAccount::instance().returnUsername();
  return username && !username->empty() && KVAccount::instance().returnUserID() != 0;
}

// ---- The screen

void AccountPlistViewController::viewDidLoad() {
  RootViewController::viewDidLoad();
  tableView()->setTableHeaderView(headerView());
  refreshAccount();
}

void AccountPlistViewController::viewWillAppear(bool animated) {
  RootViewController::viewWillAppear(animated);
  if (auto* navigation = navigationController()) navigation->setNavigationBarHidden(false, true);
}

std::shared_ptr<UIView> AccountPlistViewController::headerView() {
  // The settings' header, its artwork standing in until an avatar is handed over, with
  // the e-mail address under the name.
  auto header = std::dynamic_pointer_cast<UIStackView>(
      artworkHeader(NSLocalizedString("Account Name"), 210, &accountNameLabel_, &accountImageview_));
  if (avatarImage_) {
    accountImageview_->setImage(avatarImage_);
    accountImageview_->layer().cornerRadius = 45;
  }
  accountImageview_->setAccessibilityLabel(NSLocalizedString("Avatar"));
  accountEmailLabel_ = std::make_shared<UILabel>();
  accountEmailLabel_->setFont(UIFont::systemFontOfSize(16));
  accountEmailLabel_->setTextAlignment(NSTextAlignmentCenter);
  accountEmailLabel_->setText(NSLocalizedString("Account Email"));
  if (palette()) accountEmailLabel_->setTextColor(palette()->secondaryTextColor());
  header->insertArrangedSubview(accountEmailLabel_, 3);  // spacer, avatar, name, e-mail, spacer
  return header;
}

void AccountPlistViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  RootViewController::paletteDidChange(palette);
  if (accountNameLabel_) accountNameLabel_->setTextColor(palette->primaryTextColor());
  if (accountEmailLabel_) accountEmailLabel_->setTextColor(palette->secondaryTextColor());
}

void AccountPlistViewController::refreshAccount() {
  KVAccount& account = KVAccount::instance();
  if (accountNameLabel_) accountNameLabel_->setText(storedOr(account.returnUsername(), "Account Name"));
  if (accountEmailLabel_) accountEmailLabel_->setText(storedOr(account.returnEmail(), "Account Email"));
  if (tableView()) tableView()->reloadData();
}

void AccountPlistViewController::showCard(const std::string& title, const std::string& message) {
  showCard(title, message, "OK", {}, nullptr);
}

void AccountPlistViewController::showCard(const std::string& title, const std::string& message,
                                          const std::string& closeTitle, const std::string& otherTitle,
                                          std::function<void()> other) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  std::optional<std::string> otherText;
  if (!otherTitle.empty()) otherText = NSLocalizedString(otherTitle);
  card->showWithTitle(NSLocalizedString(title), NSLocalizedString(message), otherText ? 2 : 1,
                      NSLocalizedString(closeTitle), otherText, std::move(other));
  presentViewController(card, true);
}

// ---- Signing in and out, the lists

std::string AccountPlistViewController::signInOutButtonTitle() const { return isSignedIn() ? "Sign Out" : "Sign In"; }

void AccountPlistViewController::signInOut() {
  auto refresh = [weak = weakSelf(this)] {
    performOnMainThread([weak] {
      if (auto self = weak.lock()) self->refreshAccount();
    });
  };
  if (isSignedIn()) {
    KVAccount::instance().logout();
    refresh();
    return;
  }
  presentViewController(context_.screens->signIn(true, refresh), true);
}

void AccountPlistViewController::openPurchased() {
  navigationController()->pushViewController(
      context_.screens->packageList(KVPackageListKind::purchasedPackages(std::nullopt)), true);
}

void AccountPlistViewController::openCommercialStores() {
  navigationController()->pushViewController(context_.screens->stores(), true);
}

void AccountPlistViewController::openWishlist() {
  if (context_.packages->countOfPackagesInWishlist() == 0) {
    showCard("Packages Wishlist", "There are no packages in your wishlist");
    return;
  }
  navigationController()->pushViewController(context_.screens->wishlist(), true);
}

void AccountPlistViewController::openFollowed() {
  if (KVRDevelopers().arrayOfFollowedDevelopers().empty()) {
    showCard("Followed Developers", "You are not following any developers");
    return;
  }
  navigationController()->pushViewController(context_.screens->followedDevelopers(), true);
}

void AccountPlistViewController::openDownloadHistory() {
  int64_t user = KVAccount::instance().returnUserID();
  if (user == 0) {
    showCard("Download History", kNotLoggedIn);
    return;
  }
  KVStatistics::instance().retrieveDownloadStatsForUser(user, [weak = weakSelf(this)](std::optional<std::string> status) {
    if (status != "Success") return;
    performOnMainThread([weak] {
      auto self = weak.lock();
      if (!self || !self->navigationController()) return;
      auto history = KVStatistics::instance().downloadsHistory().value_or(std::vector<std::string>{});
      self->navigationController()->pushViewController(
          self->context_.screens->packageList(KVPackageListKind::downloadsHistory(std::move(history))), true);
    });
  });
}

// ---- The setup's backup and restoration

void AccountPlistViewController::createBackup() {
  if (KVAccount::instance().returnUserID() == 0) {
    showCard(KVBackupQuillbarkSetupTask::kTitle, kNotLoggedIn);
    return;
  }
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->setDelegate(weakSelf(this));
  card->showWithTitle(NSLocalizedString(KVBackupQuillbarkSetupTask::kTitle),
                      NSLocalizedString(
                          "Do you really want to backup configured sources and installed packages? This feature may "
                          "be useful if you plan to restore your device and restore your Quillbark setup afterwards. "
                          "Please note that these information will be uploaded to our server."),
                      2, NSLocalizedString("Cancel"), NSLocalizedString("Backup now"), std::string("backupOnline"));
  presentViewController(card, true);
}

void AccountPlistViewController::backupOnline() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    auto task = std::make_shared<KVBackupQuillbarkSetupTask>(KVAccount::instance().returnUserID(),
                                                             self->context_.sources->arrayOfConfiguredSources(),
                                                             self->context_.packages->arrayOfInstalledPackagesByIdentifier());
    KVPipelineManager::sharedManager().queueTask(task);
  });
}

void AccountPlistViewController::openBackup() {
  int64_t user = KVAccount::instance().returnUserID();
  if (user == 0) {
    showCard(kRestorationTitle, kNotLoggedIn);
    return;
  }
  KVSetupBackup::retrieve(user, [weak = weakSelf(this)](Expected<Data> body) {
    performOnMainThread([weak, body = std::move(body)] {
      auto self = weak.lock();
      if (!self) return;
      if (!body) {
        self->showCard(kRestorationTitle, body.error()->localizedDescription());
        return;
      }
      if (KVServiceReply::textFromBody(*body) == KVSetupBackup::kRefusal) {
        self->showCard(kRestorationTitle, kRetrievalError);
        return;
      }
      self->restoreBackupWithJSONData(*body);
    });
  });
}

void AccountPlistViewController::restoreBackupWithJSONData(const Data& data) {
  performOnMainThread([weak = weakSelf(this), data] {
    auto self = weak.lock();
    if (!self) return;
    auto document = KVSetupBackup::readDocument(data);
    if (!document) {
      self->showCard(kRestorationTitle, kRetrievalError);
      return;
    }
    KVRestoreChecklist sources, packages;
    std::set<std::string> seen;
    for (const auto& listed : document->sources) {
      // Kept as a typed location is kept: its scheme in lower case, ending in "/"; one the
      // check refuses can't become a source.
      std::string location = SourceLocations::normalized(listed);
      if (auto reason = SourceLocations::refusal(location)) {
        KVLog("Not restoring the source location \"%s\": %s", location.c_str(), reason->c_str());
        continue;
      }
      if (location.back() != '/') location += '/';
      if (seen.insert(location).second) sources.emplace_back(location, !KVRSources::sourceExists(location));
    }
    seen.clear();
    for (const auto& identifier : document->packages) {
      if (identifier.empty() || !seen.insert(identifier).second) continue;
      // The device's own entries are on every device, with no record of their own.
      bool installed = self->context_.packages->packageIsInstalled(identifier) || KVStatusImport::isPseudoPackage(identifier);
      packages.emplace_back(identifier, !installed);
    }
    if (sources.empty() && packages.empty()) {
      self->showCard(kRestorationTitle, "This backup is empty");
      return;
    }
    auto chosen = [](const KVRestoreChecklist& list) {
      return std::count_if(list.begin(), list.end(), [](const auto& entry) { return entry.second; });
    };
    if (chosen(sources) > 0 || chosen(packages) > 0) {
      self->pushRestoration(std::move(sources), std::move(packages));
      return;
    }
    self->showCard(kRestorationTitle,
                   "All items in this backup are already installed, do you want to view the backup anyways?", "Cancel",
                   "Show", [weak = weakSelf(self.get()), sources, packages] {
                     if (auto screen = weak.lock()) screen->pushRestoration(sources, packages);
                   });
  });
}

void AccountPlistViewController::pushRestoration(KVRestoreChecklist sources, KVRestoreChecklist packages) {
  if (!navigationController()) return;
  navigationController()->pushViewController(
      std::make_shared<QuillbarkSetupRestorationViewController>(context_, std::move(sources), std::move(packages)),
      true);
}

// ---- The application's screens and the outside pages

void AccountPlistViewController::openSettings() {
  navigationController()->pushViewController(context_.screens->settings(), true);
}

void AccountPlistViewController::openCredits() {
  navigationController()->pushViewController(context_.screens->credits(), true);
}

void AccountPlistViewController::openChangelog() {
  navigationController()->pushViewController(context_.screens->changelog(), true);
}

void AccountPlistViewController::openURLInBrowser(const std::string& address) {
  auto browser = std::make_shared<SFSafariViewController>(address);
  browser->setDelegate(this);
  browser->setModalPresentationStyle(UIModalPresentationFormSheet);
  presentViewController(browser, true);
}

void AccountPlistViewController::openGithubIssues() { openURLInBrowser(kGithubIssuesURL); }

void AccountPlistViewController::openDiscordJoin() {
  UIApplication& application = UIApplication::sharedApplication();
  if (application.canOpenURL(kDiscordScheme)) application.openURL(kDiscordInviteURL);
  else openURLInBrowser(kDiscordInviteURL);
}

void AccountPlistViewController::openCroudinProject() { openURLInBrowser(kCrowdinProjectURL); }

void AccountPlistViewController::openTwitter() {
  UIApplication& application = UIApplication::sharedApplication();
  if (application.canOpenURL(kTwitterScheme))
    application.openURL(std::string(kTwitterScheme) + "user?screen_name=" + kTwitterHandle);
  else openURLInBrowser(kTwitterProfileURL);
}

void AccountPlistViewController::openKorvaleWebsite() { openURLInBrowser(kWebsiteURL); }

void AccountPlistViewController::openKorvalePatreon() { openURLInBrowser(kPatreonURL); }
