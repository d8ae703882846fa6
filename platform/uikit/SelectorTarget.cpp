#include "uikit/SelectorTarget.h"

bool SelectorTarget::respondsToSelector(const std::string& selector) const {
  return methods_.count(selector) > 0 || stringMethods_.count(selector) > 0;
}

bool SelectorTarget::performSelector(const std::string& selector, const std::any& argument) {
  auto it = methods_.find(selector);
  if (it != methods_.end()) {
    auto method = it->second;  // the method may replace itself
    method(argument);
    return true;
  }
  auto s = stringMethods_.find(selector);
  if (s != stringMethods_.end()) {
    auto method = s->second;
    method();
    return true;
  }
  return false;
}

bool SelectorTarget::selectorReturnsString(const std::string& selector) const {
  return stringMethods_.count(selector) > 0;
}

std::optional<std::string> SelectorTarget::performStringSelector(const std::string& selector) {
  auto it = stringMethods_.find(selector);
  if (it == stringMethods_.end()) return std::nullopt;
  auto method = it->second;
  return method();
}

void SelectorTarget::exposeSelector(const std::string& selector, std::function<void()> method) {
  methods_[selector] = [method = std::move(method)](const std::any&) { method(); };
}

void SelectorTarget::exposeSelector(const std::string& selector, std::function<void(const std::any&)> method) {
  methods_[selector] = std::move(method);
}

void SelectorTarget::exposeStringSelector(const std::string& selector,
                                          std::function<std::optional<std::string>()> method) {
  stringMethods_[selector] = std::move(method);
}
