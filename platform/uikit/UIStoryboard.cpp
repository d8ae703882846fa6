#include "uikit/UIStoryboard.h"

#include <map>
#include <mutex>

#include "foundation/Log.h"

namespace {
struct Board {
  std::map<std::string, UIStoryboard::Factory> screens;
  std::string initial;
};
std::mutex& mutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, Board>& boards() {
  static std::map<std::string, Board> b;
  return b;
}
}  // namespace

void UIStoryboard::registerController(const std::string& storyboard, const std::string& identifier, Factory factory,
                                      bool initial) {
  std::lock_guard<std::mutex> lock(mutex());
  auto& board = boards()[storyboard];
  board.screens[identifier] = std::move(factory);
  if (initial || board.initial.empty()) board.initial = identifier;
}

void UIStoryboard::unregisterAll() {
  std::lock_guard<std::mutex> lock(mutex());
  boards().clear();
}

std::shared_ptr<UIStoryboard> UIStoryboard::storyboardWithName(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex());
  if (!boards().count(name)) return nullptr;
  return std::make_shared<UIStoryboard>(name);
}

std::shared_ptr<UIViewController> UIStoryboard::instantiateViewControllerWithIdentifier(const std::string& identifier) const {
  Factory factory;
  {
    std::lock_guard<std::mutex> lock(mutex());
    auto board = boards().find(name_);
    if (board != boards().end()) {
      auto it = board->second.screens.find(identifier);
      if (it != board->second.screens.end()) factory = it->second;
    }
  }
  if (!factory) {
    KVLog("storyboard %s has no screen %s", name_.c_str(), identifier.c_str());
    return nullptr;
  }
  return factory();
}

std::shared_ptr<UIViewController> UIStoryboard::instantiateInitialViewController() const {
  std::string initial;
  {
    std::lock_guard<std::mutex> lock(mutex());
    auto board = boards().find(name_);
    if (board != boards().end()) initial = board->second.initial;
  }
  return initial.empty() ? nullptr : instantiateViewControllerWithIdentifier(initial);
}
