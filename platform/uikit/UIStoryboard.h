#pragma once
// A storyboard: several screens of one interface file ("Main"), each under an
// identifier ("TabBarVC").
#include <functional>
#include <memory>
#include <string>

class UIViewController;

class UIStoryboard {
 public:
  using Factory = std::function<std::shared_ptr<UIViewController>()>;
  static void registerController(const std::string& storyboard, const std::string& identifier, Factory factory,
                                 bool initial = false);
  static void unregisterAll();
  // Null when no screen was registered under the name.
  static std::shared_ptr<UIStoryboard> storyboardWithName(const std::string& name);

  const std::string& name() const { return name_; }
  std::shared_ptr<UIViewController> instantiateViewControllerWithIdentifier(const std::string& identifier) const;
  std::shared_ptr<UIViewController> instantiateInitialViewController() const;

  explicit UIStoryboard(std::string name) : name_(std::move(name)) {}

 private:
  std::string name_;
};
