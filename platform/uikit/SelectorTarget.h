#pragma once
// Methods reachable by name, in place of the platform's selectors: data (property
// lists) and callers name a method that the receiver may or may not implement. An
// object exposes the methods it answers to; callers ask and send.
#include <any>
#include <functional>
#include <map>
#include <optional>
#include <string>

class SelectorTarget {
 public:
  virtual ~SelectorTarget() = default;

  bool respondsToSelector(const std::string& selector) const;
  // Sends the named method, with an argument when it takes one (a control, a
  // recognizer). Answers false, doing nothing, when the receiver does not answer to it.
  bool performSelector(const std::string& selector, const std::any& argument = {});
  // Whether the named method answers a text (the platform's "@" return type).
  bool selectorReturnsString(const std::string& selector) const;
  // What the named method answers; nothing when it answers nothing (nil) or is not there.
  std::optional<std::string> performStringSelector(const std::string& selector);

 protected:
  void exposeSelector(const std::string& selector, std::function<void()> method);
  void exposeSelector(const std::string& selector, std::function<void(const std::any&)> method);
  // A method that answers a text, or nothing (nil).
  void exposeStringSelector(const std::string& selector, std::function<std::optional<std::string>()> method);

 private:
  std::map<std::string, std::function<void(const std::any&)>> methods_;
  std::map<std::string, std::function<std::optional<std::string>()>> stringMethods_;
};
