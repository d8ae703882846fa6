#include "app/KVRootScreens.h"

#include "account/AccountPlistViewController.h"
#include "account/CreditsViewController.h"
#include "account/LoginViewController.h"
#include "account/NewsViewController.h"
#include "app/KVPlaceholderViewController.h"
#include "browse/AllDevPackagesViewController.h"
#include "browse/DeveloperDetailsViewController.h"
#include "browse/FollowedDevelopersViewController.h"
#include "browse/CategoriesTableViewController.h"
#include "browse/FeaturedPackageViewController.h"
#include "browse/FeaturedViewController.h"
#include "browse/PackagesTableViewController.h"
#include "browse/PackagesWishlistViewController.h"
#include "browse/SubcategoriesViewController.h"
#include "database/KVRDevelopers.h"
#include "database/KVRPackages.h"
#include "foundation/LocalizedStrings.h"
#include "interface/ErrorViewController.h"
#include "interface/InitViewController.h"
#include "interface/KVApplicationActions.h"
#include "account/KVAccount.h"
#include "interface/ChangelogViewController.h"
#include "interface/KVTabBarController.h"
#include "interface/SettingsPlistViewController.h"
#include "operations/ImportedPackageViewController.h"
#include "operations/InstalledFilesViewController.h"
#include "operations/PackagesConfirmationViewController.h"
#include "operations/TasksVerboseViewController.h"
#include "operations/TasksViewController.h"
#include "package/AllReviewsViewController.h"
#include "package/ContactDeveloperViewController.h"
#include "package/LeaveReviewViewController.h"
#include "package/PackageDetailsViewController.h"
#include "package/WebDepictionViewController.h"
#include "package/WebViewViewController.h"
#include "payment/RepoStoresListController.h"
#include "sources/ChangesViewController.h"
#include "sources/ManageViewController.h"
#include "sources/OnlineRepositoriesViewController.h"
#include "sources/SearchViewController.h"
#include "sources/SearchedRepoViewController.h"
#include "sources/RepoTransferViewController.h"
#include "sources/SourceViewController.h"
#include "uikit/UIImage.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITabBarItem.h"

namespace {
// A screen that is not built yet: its name, and what it was given.
std::shared_ptr<UIViewController> placeholder(const char* screen, std::string detail = {}) {
  return std::make_shared<KVPlaceholderViewController>(screen, std::move(detail));
}

}  // namespace

KVRootScreens::KVRootScreens(std::shared_ptr<KVRSources> sources, std::shared_ptr<KVRPackages> packages,
                             std::shared_ptr<KVApplicationActions> actions)
    : sources_(std::move(sources)),
      packages_(std::move(packages)),
      actions_(std::move(actions)),
      developers_(std::make_shared<KVRDevelopers>()) {}

KVScreenContext KVRootScreens::context() { return {sources_, packages_, actions_, shared_from_this(), developers_}; }

std::shared_ptr<KVTabBarController> KVRootScreens::tabBar() {
  auto tabs = std::make_shared<KVTabBarController>(shared_from_this());
  std::vector<std::shared_ptr<UIViewController>> screens;
  for (KVTab each : {KVTab::Featured, KVTab::Categories, KVTab::Changes, KVTab::Manage, KVTab::Search}) {
    auto screen = tab(each);
    auto navigation = std::make_shared<UINavigationController>(screen);
    // A tab is named apart from the title of its screen ("Categories" shows "Sections").
    static const char* const names[] = {"Featured", "Categories", "Changes", "Manage", "Search"};
    navigation->tabBarItem()->setTitle(NSLocalizedString(names[static_cast<long>(each)]));
    static const char* const symbols[] = {"star.fill", "square.grid.2x2", "clock.arrow.circlepath", "tray.full",
                                          "magnifyingglass"};
    navigation->tabBarItem()->setImage(UIImage::systemImageNamed(symbols[static_cast<long>(each)]));
    screens.push_back(navigation);
  }
  tabs->setViewControllers(screens);
  tabBar_ = tabs;
  return tabs;
}

void KVRootScreens::selectTab(KVTab tab) {
  if (auto tabs = tabBar_.lock()) tabs->setSelectedIndex(static_cast<long>(tab));
}

// ---- One line per screen. Placeholders show the screen's name and what it was given.

std::shared_ptr<UIViewController> KVRootScreens::nativePackagePage(const std::string& identifier,
                                                                   KVPackagePageOptions options) {
  return std::make_shared<PackageDetailsViewController>(context(), identifier, options);
}

std::shared_ptr<UIViewController> KVRootScreens::webDepiction(const std::string& identifier, const std::string& website,
                                                              KVPackagePageOptions options) {
  return std::make_shared<WebDepictionViewController>(context(), identifier, website, options.isComingFromURLScheme);
}

std::shared_ptr<UIViewController> KVRootScreens::featuredPackage(const KVFeaturedPackagesTop& item,
                                                                 std::shared_ptr<UIImage> image) {
  return std::make_shared<FeaturedPackageViewController>(context(), item, std::move(image));
}

std::shared_ptr<UIViewController> KVRootScreens::packageList(const KVPackageListKind& kind) {
  return std::make_shared<PackagesTableViewController>(context(), kind);
}

std::shared_ptr<UIViewController> KVRootScreens::subcategories(const std::string& category,
                                                               std::optional<std::string> sourceLocation) {
  return std::make_shared<SubcategoriesViewController>(context(), category, std::move(sourceLocation));
}

std::shared_ptr<UIViewController> KVRootScreens::wishlist() {
  return std::make_shared<PackagesWishlistViewController>(context());
}

std::shared_ptr<UIViewController> KVRootScreens::reviews(const std::string& identifier, const std::string& maintainer) {
  return std::make_shared<AllReviewsViewController>(context(), identifier, maintainer);
}

std::shared_ptr<UIViewController> KVRootScreens::leaveReview(const std::string& identifier,
                                                             std::weak_ptr<LeaveReviewDelegate> delegate) {
  return std::make_shared<LeaveReviewViewController>(context(), identifier, std::move(delegate));
}

std::shared_ptr<UIViewController> KVRootScreens::contactDeveloper(const KVContactDeveloperInputs& inputs) {
  return std::make_shared<ContactDeveloperViewController>(context(), inputs);
}

std::shared_ptr<UIViewController> KVRootScreens::installedFiles(const std::string& identifier) {
  return std::make_shared<InstalledFilesViewController>(context(), identifier);
}

std::shared_ptr<UIViewController> KVRootScreens::localPackage(const std::string& path) {
  return std::make_shared<ImportedPackageViewController>(context(), path);
}

std::shared_ptr<UIViewController> KVRootScreens::developer(const KVDeveloperProfile& profile,
                                                           std::shared_ptr<UIImage> avatar, bool shownModally) {
  return std::make_shared<DeveloperDetailsViewController>(context(), profile, std::move(avatar), shownModally);
}

std::shared_ptr<UIViewController> KVRootScreens::developerPackages(const std::string& maintainer,
                                                                   const std::string& title) {
  return std::make_shared<AllDevPackagesViewController>(context(), maintainer, title);
}

std::shared_ptr<UIViewController> KVRootScreens::followedDevelopers() {
  return std::make_shared<FollowedDevelopersViewController>(context());
}

std::shared_ptr<UIViewController> KVRootScreens::sourcePage(std::optional<std::string> location, bool presented) {
  return std::make_shared<SourceViewController>(context(), std::move(location), presented);
}

std::shared_ptr<UIViewController> KVRootScreens::repositoryDirectory() {
  return std::make_shared<OnlineRepositoriesViewController>(context());
}

std::shared_ptr<UIViewController> KVRootScreens::searchedRepository(const KVSearchedRepo& repository,
                                                                   std::shared_ptr<UIImage> icon) {
  auto page = std::make_shared<SearchedRepoViewController>(context());
  page->setSearchedRepo(repository);
  page->setRepoIcon(std::move(icon));
  return page;
}

std::shared_ptr<UIViewController> KVRootScreens::sourceImport(bool invokedFromSettings) {
  return std::make_shared<RepoTransferViewController>(context(), invokedFromSettings);
}

std::shared_ptr<UIViewController> KVRootScreens::webPage(const std::string& address, const std::string& title,
                                                         bool presented) {
  return std::make_shared<WebViewViewController>(context(), address, title, presented);
}

std::shared_ptr<UIViewController> KVRootScreens::confirmation(KVConfirmationInputs inputs) {
  auto screen = std::make_shared<PackagesConfirmationViewController>(context(), std::move(inputs.archive));
  screen->setDelegate(std::move(inputs.delegate));
  return screen;
}

std::shared_ptr<UIViewController> KVRootScreens::tasks(bool shownFromGesture) {
  auto screen = std::make_shared<TasksViewController>();
  screen->setShownFromGesture(shownFromGesture);
  return screen;
}

std::shared_ptr<UIViewController> KVRootScreens::verboseLog() { return std::make_shared<TasksVerboseViewController>(); }

std::shared_ptr<UIViewController> KVRootScreens::settings() {
  return std::make_shared<SettingsPlistViewController>(context(), [] { return KVAccount::instance().returnUsername(); });
}

std::shared_ptr<UIViewController> KVRootScreens::changelog() { return std::make_shared<ChangelogViewController>(); }

std::shared_ptr<UIViewController> KVRootScreens::account(std::shared_ptr<UIImage> avatarImage) {
  return std::make_shared<AccountPlistViewController>(context(), std::move(avatarImage));
}

std::shared_ptr<UIViewController> KVRootScreens::stores() { return std::make_shared<RepoStoresListController>(context()); }

std::shared_ptr<UIViewController> KVRootScreens::news() { return std::make_shared<NewsViewController>(context()); }

std::shared_ptr<UIViewController> KVRootScreens::credits() { return std::make_shared<CreditsViewController>(context()); }

std::shared_ptr<UIViewController> KVRootScreens::onboarding() { return std::make_shared<InitViewController>(context()); }

std::shared_ptr<UIViewController> KVRootScreens::signIn(bool invokedFromSettings, std::function<void()> dismissCompletion) {
  return std::make_shared<LoginViewController>(context(), invokedFromSettings, std::move(dismissCompletion));
}

std::shared_ptr<UIViewController> KVRootScreens::tab(KVTab tab) {
  switch (tab) {
    case KVTab::Featured: return std::make_shared<FeaturedViewController>(context());
    case KVTab::Categories: return std::make_shared<CategoriesTableViewController>(context());
    case KVTab::Changes: return std::make_shared<ChangesViewController>(context());
    case KVTab::Manage: return std::make_shared<ManageViewController>(context());
    case KVTab::Search: return std::make_shared<SearchViewController>(context());
  }
  return placeholder("Unknown tab");
}
