#pragma once
// The composition root's navigation: every screen of the application is made here, one
// entry each, and handed the context of the managers it calls. A screen that is not built
// yet is a named placeholder showing what it was given; building one replaces its line
// in KVRootScreens.cpp with the screen's own constructor (see docs/ARCHITECTURE.md,
// "Adding a screen"). The root tab bar and its tabs are made here too.
#include <memory>

#include "interface/KVScreenContext.h"
#include "interface/KVScreens.h"

class KVTabBarController;

class KVRootScreens : public KVScreens {
 public:
  KVRootScreens(std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages,
                std::shared_ptr<KVApplicationActions> actions);

  // What every screen made here is handed.
  KVScreenContext context();
  // The root tab bar with the five tabs, each in its navigation controller (the
  // storyboard "Main" holds it as "TabBarVC").
  std::shared_ptr<KVTabBarController> tabBar();

  std::shared_ptr<UIViewController> nativePackagePage(const std::string& identifier, KVPackagePageOptions options) override;
  std::shared_ptr<UIViewController> webDepiction(const std::string& identifier, const std::string& website,
                                                 KVPackagePageOptions options) override;
  std::shared_ptr<UIViewController> featuredPackage(const KVFeaturedPackagesTop& item, std::shared_ptr<UIImage> image) override;
  std::shared_ptr<UIViewController> packageList(const KVPackageListKind& kind) override;
  std::shared_ptr<UIViewController> subcategories(const std::string& category,
                                                  std::optional<std::string> sourceLocation) override;
  std::shared_ptr<UIViewController> wishlist() override;
  std::shared_ptr<UIViewController> reviews(const std::string& identifier, const std::string& maintainer) override;
  std::shared_ptr<UIViewController> leaveReview(const std::string& identifier,
                                                std::weak_ptr<LeaveReviewDelegate> delegate) override;
  std::shared_ptr<UIViewController> contactDeveloper(const KVContactDeveloperInputs& inputs) override;
  std::shared_ptr<UIViewController> installedFiles(const std::string& identifier) override;
  std::shared_ptr<UIViewController> localPackage(const std::string& path) override;
  std::shared_ptr<UIViewController> developer(const KVDeveloperProfile& profile, std::shared_ptr<UIImage> avatar,
                                              bool shownModally) override;
  std::shared_ptr<UIViewController> developerPackages(const std::string& maintainer, const std::string& title) override;
  std::shared_ptr<UIViewController> followedDevelopers() override;
  std::shared_ptr<UIViewController> sourcePage(std::optional<std::string> location, bool presented) override;
  std::shared_ptr<UIViewController> repositoryDirectory() override;
  std::shared_ptr<UIViewController> searchedRepository(const KVSearchedRepo& repository,
                                                       std::shared_ptr<UIImage> icon) override;
  std::shared_ptr<UIViewController> sourceImport(bool invokedFromSettings) override;
  std::shared_ptr<UIViewController> webPage(const std::string& address, const std::string& title, bool presented) override;
  std::shared_ptr<UIViewController> confirmation(KVConfirmationInputs inputs) override;
  std::shared_ptr<UIViewController> tasks(bool shownFromGesture) override;
  std::shared_ptr<UIViewController> verboseLog() override;
  std::shared_ptr<UIViewController> settings() override;
  std::shared_ptr<UIViewController> changelog() override;
  std::shared_ptr<UIViewController> account(std::shared_ptr<UIImage> avatarImage) override;
  std::shared_ptr<UIViewController> stores() override;
  std::shared_ptr<UIViewController> news() override;
  std::shared_ptr<UIViewController> credits() override;
  std::shared_ptr<UIViewController> onboarding() override;
  std::shared_ptr<UIViewController> signIn(bool invokedFromSettings, std::function<void()> dismissCompletion) override;
  std::shared_ptr<UIViewController> tab(KVTab tab) override;
  void selectTab(KVTab tab) override;

 private:
  std::shared_ptr<KVRSources> sources_;
  std::shared_ptr<KVRPackages> packages_;
  std::shared_ptr<KVApplicationActions> actions_;
  // The developers manager keeps no state of its own: the screens' one is made here.
  std::shared_ptr<KVRDevelopers> developers_;
  std::weak_ptr<KVTabBarController> tabBar_;
};
