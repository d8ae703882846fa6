#pragma once
// The account screen: a header with the user's avatar, name and e-mail address above
// the "Account" property list, whose rows name this screen's selectors: signing in and
// out, the account's lists (purchases, stores, wishlist, followed developers, download
// history), the backup of the setup to the vendor's service and its restoration, the
// settings, credits and changelog, and the outside pages (their application when its
// scheme opens, else the in-app browser). Opened through KVScreens::account.
//
// Signed in means a stored user name and a non-zero user id; with no account the
// backup and its restoration say "You aren't logged in" and send nothing.
#include <memory>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "interface/KVScreenContext.h"
#include "interface/RootViewController.h"
#include "uikit/SFSafariViewController.h"

class UIImage;
class UIImageView;
class UILabel;

class AccountPlistViewController : public RootViewController, public SFSafariViewControllerDelegate {
 public:
  // The outside pages, under reserved names until the vendor's own are set.
  static constexpr const char* kGithubIssuesURL = "https://github.example/korvale/quillbark/issues/new";
  static constexpr const char* kDiscordScheme = "discord://";
  static constexpr const char* kDiscordInviteURL = "https://discord.example/invite/korvale";
  static constexpr const char* kCrowdinProjectURL = "https://crowdin.example/project/quillbark";
  static constexpr const char* kTwitterScheme = "twitter://";
  static constexpr const char* kTwitterHandle = "korvaleteam";
  static constexpr const char* kTwitterProfileURL = "https://twitter.example/korvaleteam";
  static constexpr const char* kWebsiteURL = "https://korvale.example/";
  static constexpr const char* kPatreonURL = "https://patreon.example/korvale";

  // `avatarImage`: the avatar the opening screen already shows; none for the artwork.
  AccountPlistViewController(KVScreenContext context, std::shared_ptr<UIImage> avatarImage);

  const std::shared_ptr<UIImage>& avatarImage() const { return avatarImage_; }
  void setAvatarImage(std::shared_ptr<UIImage> image) { avatarImage_ = std::move(image); }
  UIImageView* accountImageview() const { return accountImageview_.get(); }
  UILabel* accountNameLabel() const { return accountNameLabel_.get(); }
  UILabel* accountEmailLabel() const { return accountEmailLabel_.get(); }

  // A stored user name and a non-zero user id.
  static bool isSignedIn();

  // The rows' selectors (named in "Account").
  std::string signInOutButtonTitle() const;
  void signInOut();
  void openPurchased();
  void openCommercialStores();
  void openWishlist();
  void openFollowed();
  void openDownloadHistory();
  void createBackup();
  // The card's "Backup now": queues the upload of the setup.
  void backupOnline();
  void openBackup();
  // A retrieved setup document: its checklists, preselecting what the device lacks.
  void restoreBackupWithJSONData(const Data& data);
  void openSettings();
  void openCredits();
  void openChangelog();
  void openGithubIssues();
  void openDiscordJoin();
  void openCroudinProject();
  void openTwitter();
  void openKorvaleWebsite();
  void openKorvalePatreon();
  // The address in the in-app browser, as a form sheet.
  void openURLInBrowser(const std::string& address);

  std::shared_ptr<UIView> headerView();
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteWillChangeToStyle(uint32_t style) override { useGroupedLightColorsForStyle(style); }
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  void registerSelectors();
  // The labels as the keychain has them, and the table (with the sign-in row's title).
  void refreshAccount();
  // An alert card with one "OK", or with `otherTitle` running `other`; texts localized.
  void showCard(const std::string& title, const std::string& message);
  void showCard(const std::string& title, const std::string& message, const std::string& closeTitle,
                const std::string& otherTitle, std::function<void()> other);
  void pushRestoration(std::vector<std::pair<std::string, bool>> sources,
                       std::vector<std::pair<std::string, bool>> packages);

  KVScreenContext context_;
  std::shared_ptr<UIImage> avatarImage_;
  std::shared_ptr<UIImageView> accountImageview_;
  std::shared_ptr<UILabel> accountNameLabel_;
  std::shared_ptr<UILabel> accountEmailLabel_;
};
