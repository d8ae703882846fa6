#pragma once
// What an address of the application's schemes asks, by its host: "add" offers to add a
// repository (or opens its page when it is there), "url" does the same for the other
// package manager's share page, "show" opens a package's page (adding its repository
// first when needed), "developer" opens the page of the developer the vendor's search
// finds (else the search tab looks for the name). Everything is presented over the
// current screen, on the main thread, through the root's navigation.
#include <memory>
#include <optional>
#include <string>

#include "foundation/NotificationToken.h"

class UIViewController;

class KVURLSchemeTask {
 public:
  static KVURLSchemeTask& instance();

  void setURL(std::string url) { URL_ = std::move(url); }
  const std::string& URL() const { return URL_; }
  void doQueuedSchemeTask();

  // A repository location as "add" and "show" take it: "https://" in front of one
  // without a scheme, "/" at the end.
  static std::string normalisedLocation(const std::string& text);
  // The value of a parameter of a "show" address (the last one wins), none when absent.
  static std::optional<std::string> parseComponents(const std::string& url, const std::string& key);
  // The share page of the other package manager, whose links "url" takes.
  static constexpr const char* kSharePagePrefix = "https://cydia.saurik.com/api/share#?source=";

  void repoAlreadyAdded(const std::string& location);
  void addRepoAlert(const std::string& location);
  void addSourceWithURL(const std::string& location);
  void showPackageAlert(const std::optional<std::string>& name, const std::string& identifier,
                        const std::optional<std::string>& location, bool mustAddRepository);
  void showPackageAlertDelayed();
  void showDeveloper(const std::string& name);

  const std::string& bundleID() const { return bundleID_; }
  const std::shared_ptr<UIViewController>& packageDetailsViewController() const { return packageDetails_; }
  const std::shared_ptr<UIViewController>& sourceViewController() const { return sourcePage_; }
  const std::shared_ptr<UIViewController>& developerDetailsViewController() const { return developerDetails_; }

 private:
  KVURLSchemeTask() = default;
  void sourceRefreshed();
  void present(std::shared_ptr<UIViewController> screen);
  void presentAlert(const std::string& title, const std::string& message);

  std::string URL_;
  std::string bundleID_;
  NotificationToken sourceObservation_;
  std::shared_ptr<UIViewController> packageDetails_, sourcePage_, developerDetails_;
};
