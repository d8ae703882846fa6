#pragma once
// The drawing figures of a view that the screens set: corners, border and shadow, and
// free-form values (such as "continuousCorners"), and the animations added by key.
#include <map>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

// A shadow outline: a rectangle with rounded corners.
struct CGRoundedRectPath {
  CGRect rect;
  double cornerRadius = 0;
  bool operator==(const CGRoundedRectPath& o) const { return rect == o.rect && cornerRadius == o.cornerRadius; }
};

// A transition of a layer's contents ("fade", "push", "moveIn", "reveal"). Nothing is
// drawn, so it has already ended when added; it is kept under its key to be read.
struct CATransition {
  std::string type = "fade";
  double duration = 0;
};

struct CALayer {
  double cornerRadius = 0;
  double borderWidth = 0;
  std::optional<UIColor> borderColor;
  bool masksToBounds = false;
  std::optional<UIColor> shadowColor;
  double shadowOpacity = 0;
  double shadowRadius = 3;
  CGSize shadowOffset{0, -3};
  std::optional<CGRoundedRectPath> shadowPath;
  std::map<std::string, CATransition> animations;
  std::map<std::string, Value> values;

  void setValue(const Value& value, const std::string& key) { values[key] = value; }
  void addAnimation(const CATransition& animation, const std::string& key) { animations[key] = animation; }
  void removeAnimationForKey(const std::string& key) { animations.erase(key); }
  std::optional<CATransition> animationForKey(const std::string& key) const {
    auto it = animations.find(key);
    return it == animations.end() ? std::nullopt : std::optional<CATransition>(it->second);
  }
  Value valueForKey(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? Value() : it->second;
  }
};
