#include "uikit/UINib.h"

#include <map>
#include <mutex>

#include "foundation/Log.h"
#include "uikit/UIView.h"
#include "uikit/UIViewController.h"

namespace {
struct Registry {
  std::mutex mutex;
  std::map<std::string, UINib::ViewFactory> views;
  std::map<std::string, UINib::ControllerFactory> controllers;
};
Registry& registry() {
  static Registry r;
  return r;
}
void awake(UIView* view) {
  auto subs = view->subviews();
  for (auto& s : subs) awake(s.get());
  view->awakeFromNib();
}
}  // namespace

void UINib::registerView(const std::string& name, ViewFactory factory) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  registry().views[name] = std::move(factory);
}

void UINib::registerController(const std::string& name, ControllerFactory factory) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  registry().controllers[name] = std::move(factory);
}

bool UINib::hasFile(const std::string& name) {
  std::lock_guard<std::mutex> lock(registry().mutex);
  return registry().views.count(name) || registry().controllers.count(name);
}

std::shared_ptr<UIView> UINib::instantiateView(const std::string& name) {
  ViewFactory factory;
  {
    std::lock_guard<std::mutex> lock(registry().mutex);
    auto it = registry().views.find(name);
    if (it == registry().views.end()) {
      KVLog("no interface file named %s", name.c_str());
      return nullptr;
    }
    factory = it->second;
  }
  auto view = factory();
  if (view) awake(view.get());
  return view;
}

std::shared_ptr<UIViewController> UINib::instantiateController(const std::string& name) {
  ControllerFactory factory;
  {
    std::lock_guard<std::mutex> lock(registry().mutex);
    auto it = registry().controllers.find(name);
    if (it == registry().controllers.end()) {
      KVLog("no interface file named %s", name.c_str());
      return nullptr;
    }
    factory = it->second;
  }
  return factory();
}

void UINib::unregisterAll() {
  std::lock_guard<std::mutex> lock(registry().mutex);
  registry().views.clear();
  registry().controllers.clear();
}
