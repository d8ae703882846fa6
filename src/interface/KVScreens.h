#pragma once
// The one way a screen opens another screen. Each entry makes the screen asked for from
// typed inputs, ready to push or present; the composition root (app/KVRootScreens) fills
// every entry, so a screen reaches screens of any subsystem, above or below its own,
// without naming them or casting. A screen not built yet is a named placeholder in the
// root: building it changes that one line of the root, and every opener gets it.
//
// Entries answer a screen, never none, and run on the main thread. Inputs of types
// that belong to higher subsystems (a developer profile, a directory entry) are declared
// here by name only: only screens that can see those types can pass them.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/KVPackageDownloading.h"
#include "interface/KVPackageListKind.h"
#include "interface/PackagesConfirmationViewControllerDelegate.h"

class UIImage;
class UIViewController;
class LeaveReviewDelegate;
struct KVDeveloperProfile;
struct KVFeaturedPackagesTop;
class KVSearchedRepo;

// How a package's page is opened.
struct KVPackagePageOptions {
  // Presented by an opened address, in a navigation controller of its own, with "Close".
  bool isComingFromURLScheme = false;
  // Pushed by the featured screen, which hides its navigation bar.
  bool isComingFromFeatured = false;
};

// What the contact-developer screen shows of a package's developer.
struct KVContactDeveloperInputs {
  std::string packageIdentifier;
  std::string packageName;
  std::string developerName;
  std::optional<std::string> email;
  std::optional<std::string> twitterURL;
  std::optional<std::string> donateURL;
  std::shared_ptr<UIImage> avatar;
};

// What the queue confirmation is opened with.
struct KVConfirmationInputs {
  // Told after the queue was cancelled or started (the tab bar, whose card then counts
  // the queue at once).
  std::weak_ptr<PackagesConfirmationViewControllerDelegate> delegate;
  // A local archive installed with the queue (the local package screen's Install).
  std::optional<KVLocalArchive> archive;
};

// The five tabs of the root tab bar, in their order.
enum class KVTab : long { Featured = 0, Categories = 1, Changes = 2, Manage = 3, Search = 4 };

class KVScreens : public std::enable_shared_from_this<KVScreens> {
 public:
  virtual ~KVScreens() = default;

  // ---- Packages
  // A package by identifier, as every list, link and notice opens it: the repository's
  // web depiction when its source shows original depictions and the package has an http
  // or https website, else the native page.
  std::shared_ptr<UIViewController> package(const std::string& identifier, KVPackagePageOptions options = {});
  virtual std::shared_ptr<UIViewController> nativePackagePage(const std::string& identifier,
                                                              KVPackagePageOptions options) = 0;
  virtual std::shared_ptr<UIViewController> webDepiction(const std::string& identifier, const std::string& website,
                                                         KVPackagePageOptions options) = 0;
  // A featured banner's card, presented with its image.
  virtual std::shared_ptr<UIViewController> featuredPackage(const KVFeaturedPackagesTop& item,
                                                            std::shared_ptr<UIImage> image) = 0;
  virtual std::shared_ptr<UIViewController> packageList(const KVPackageListKind& kind) = 0;
  // One category across every source, or (kCategorySpecial_SourcePackages with a
  // location) the categories of one source.
  virtual std::shared_ptr<UIViewController> subcategories(const std::string& category,
                                                          std::optional<std::string> sourceLocation) = 0;
  virtual std::shared_ptr<UIViewController> wishlist() = 0;
  virtual std::shared_ptr<UIViewController> reviews(const std::string& identifier, const std::string& maintainer) = 0;
  virtual std::shared_ptr<UIViewController> leaveReview(const std::string& identifier,
                                                        std::weak_ptr<LeaveReviewDelegate> delegate) = 0;
  virtual std::shared_ptr<UIViewController> contactDeveloper(const KVContactDeveloperInputs& inputs) = 0;
  virtual std::shared_ptr<UIViewController> installedFiles(const std::string& identifier) = 0;
  // The local package screen of a .deb file handed to the application.
  virtual std::shared_ptr<UIViewController> localPackage(const std::string& path) = 0;

  // ---- People
  virtual std::shared_ptr<UIViewController> developer(const KVDeveloperProfile& profile, std::shared_ptr<UIImage> avatar,
                                                      bool shownModally) = 0;
  // Every package of a maintainer, titled.
  virtual std::shared_ptr<UIViewController> developerPackages(const std::string& maintainer, const std::string& title) = 0;
  virtual std::shared_ptr<UIViewController> followedDevelopers() = 0;

  // ---- Sources
  // A source's page, or without a location the new-source form. `presented` gives it
  // "Close" as the root of a presented navigation controller.
  virtual std::shared_ptr<UIViewController> sourcePage(std::optional<std::string> location, bool presented) = 0;
  virtual std::shared_ptr<UIViewController> repositoryDirectory() = 0;
  virtual std::shared_ptr<UIViewController> searchedRepository(const KVSearchedRepo& repository,
                                                               std::shared_ptr<UIImage> icon) = 0;
  // The import of other package managers' sources (from the first run, or from settings).
  virtual std::shared_ptr<UIViewController> sourceImport(bool invokedFromSettings) = 0;

  // ---- Web pages
  // The in-app browser on an address, titled; `presented` gives it "Close".
  virtual std::shared_ptr<UIViewController> webPage(const std::string& address, const std::string& title,
                                                    bool presented) = 0;

  // ---- The queue and the tasks
  virtual std::shared_ptr<UIViewController> confirmation(KVConfirmationInputs inputs) = 0;
  // The task list; opened by a tap on the floating card it offers its own "Close".
  virtual std::shared_ptr<UIViewController> tasks(bool shownFromGesture) = 0;
  virtual std::shared_ptr<UIViewController> verboseLog() = 0;

  // ---- The application's own screens
  virtual std::shared_ptr<UIViewController> settings() = 0;
  virtual std::shared_ptr<UIViewController> changelog() = 0;
  // The account screen, with the avatar its opener already shows (none: the artwork).
  virtual std::shared_ptr<UIViewController> account(std::shared_ptr<UIImage> avatarImage) = 0;
  virtual std::shared_ptr<UIViewController> stores() = 0;
  virtual std::shared_ptr<UIViewController> news() = 0;
  virtual std::shared_ptr<UIViewController> credits() = 0;
  // The first run's walk: the entry screen, then the palette chooser or the sign-in.
  virtual std::shared_ptr<UIViewController> onboarding() = 0;
  // The vendor-account sign-in. In the first run it leads on to the import; from the
  // settings or the account tab it closes itself and then runs `dismissCompletion`.
  virtual std::shared_ptr<UIViewController> signIn(bool invokedFromSettings, std::function<void()> dismissCompletion) = 0;

  // ---- The tabs, in KVTab's order, and selecting one in the window's tab bar.
  virtual std::shared_ptr<UIViewController> tab(KVTab tab) = 0;
  virtual void selectTab(KVTab tab) = 0;

  // ---- Helpers for openers
  // The screen as the root of a navigation controller, as a form sheet on an iPad.
  static std::shared_ptr<UIViewController> inNavigation(std::shared_ptr<UIViewController> screen);
};
