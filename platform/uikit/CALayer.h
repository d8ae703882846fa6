#pragma once
// The drawing figures of a view that the screens set: corners, border and shadow, and
// free-form values (such as "continuousCorners").
#include <map>
#include <optional>
#include <string>

#include "foundation/Value.h"
#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"

struct CALayer {
  double cornerRadius = 0;
  double borderWidth = 0;
  std::optional<UIColor> borderColor;
  bool masksToBounds = false;
  std::optional<UIColor> shadowColor;
  double shadowOpacity = 0;
  double shadowRadius = 3;
  CGSize shadowOffset{0, -3};
  std::map<std::string, Value> values;

  void setValue(const Value& value, const std::string& key) { values[key] = value; }
  Value valueForKey(const std::string& key) const {
    auto it = values.find(key);
    return it == values.end() ? Value() : it->second;
  }
};
