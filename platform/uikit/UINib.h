#pragma once
// The interface files the screens are made from, by name ("ErrorViewController",
// "PackageCell"...). Each name maps to a function that builds the screen or view in
// code; start-up registers them.
#include <functional>
#include <memory>
#include <string>

class UIView;
class UIViewController;

class UINib {
 public:
  using ViewFactory = std::function<std::shared_ptr<UIView>()>;
  using ControllerFactory = std::function<std::shared_ptr<UIViewController>()>;

  static void registerView(const std::string& name, ViewFactory factory);
  static void registerController(const std::string& name, ControllerFactory factory);
  static bool hasFile(const std::string& name);
  // Builds the view and calls awakeFromNib on it and every subview; null when unknown.
  static std::shared_ptr<UIView> instantiateView(const std::string& name);
  // Builds the screen; null (with a log line) when unknown.
  static std::shared_ptr<UIViewController> instantiateController(const std::string& name);
  static void unregisterAll();
};
