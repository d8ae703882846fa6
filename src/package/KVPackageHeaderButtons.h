#pragma once
// The Get and Share buttons of a package's header, as both package screens (the native
// page and the web depiction) place them: Get 30 points under the developer's line, at
// its left, as wide as its title says; Share beside it. The constraints that would put
// both at the foot of the icon instead are made, not active: a screen switches to them
// for a large icon.
#include <functional>
#include <memory>

class NSLayoutConstraint;
class UIButton;
class UIView;

struct KVPackageHeaderButtons {
  UIButton* get = nullptr;
  UIButton* share = nullptr;
  std::shared_ptr<NSLayoutConstraint> getWidth;
  std::shared_ptr<NSLayoutConstraint> getTopToIcon, getTopToAuthor;
  std::shared_ptr<NSLayoutConstraint> shareTopToIcon, shareTopToAuthor;

  // Adds both to `content`; a tap calls `onGet` or `onShare` with the button, for `target`.
  static KVPackageHeaderButtons build(UIView* content, UIView* icon, UIView* author, const void* target,
                                      std::function<void(UIButton*)> onGet, std::function<void(UIButton*)> onShare);
};
