#pragma once
// One colour palette: fourteen colours and the bar, blur and keyboard styles of one of
// the styles 0 light, 1 blue, 2 grey, 3 black.
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "uikit/UIColor.h"

class KVPalette {
 public:
  using Overrides = std::map<std::string, UIColor>;

  // A new palette of the style; nothing for a style above 3.
  static std::shared_ptr<KVPalette> paletteWithStyle(uint32_t style);
  // byOverridingProperties:
  static std::shared_ptr<KVPalette> paletteWithStyle(uint32_t style, const Overrides& overrides);
  static KVPalette initWithLightConfiguration();
  static KVPalette initWithBlueConfiguration();
  static KVPalette initWithGreyConfiguration();
  static KVPalette initWithOLEDConfiguration();

  // Replaces the overridable colours named in `overrides`; other names are ignored.
  void applyOverrides(const Overrides& overrides);

  uint32_t style() const { return style_; }
  const UIColor& backgroundColor() const { return backgroundColor_; }
  const UIColor& foregroundColor() const { return foregroundColor_; }
  const UIColor& queueBackgroundColor() const { return queueBackgroundColor_; }
  const UIColor& highlightColor() const { return highlightColor_; }
  const UIColor& tintColor() const { return tintColor_; }
  const UIColor& barTintColor() const { return barTintColor_; }
  const UIColor& primaryTextColor() const { return primaryTextColor_; }
  const UIColor& secondaryTextColor() const { return secondaryTextColor_; }
  const UIColor& paidTextColor() const { return paidTextColor_; }
  const UIColor& shadowColor() const { return shadowColor_; }
  const UIColor& navBarColor() const { return navBarColor_; }
  const UIColor& cellBackgroundColor() const { return cellBackgroundColor_; }
  const UIColor& getButtonBackgoundColor() const { return getButtonBackgoundColor_; }
  // The red of an error's text, deeper on the light grounds and lighter on the dark ones
  // than the platform's red, so that it stands out from them by 4.5 to 1 and more.
  UIColor errorTextColor() const;
  const UIColor& getButtonTextColor() const { return getButtonTextColor_; }
  int32_t barStyle() const { return barStyle_; }
  int32_t blurStyle() const { return blurStyle_; }
  int32_t keyboardAppearance() const { return keyboardAppearance_; }

 private:
  static KVPalette darkConfiguration(uint32_t style, UIColor background, UIColor surface, UIColor queue,
                                     UIColor highlight);
  UIColor* colorSlot(const std::string& name);
  uint32_t style_ = 0;
  UIColor backgroundColor_, foregroundColor_, queueBackgroundColor_, highlightColor_, tintColor_, barTintColor_,
      primaryTextColor_, secondaryTextColor_, paidTextColor_, shadowColor_, navBarColor_, cellBackgroundColor_,
      getButtonBackgoundColor_, getButtonTextColor_;
  int32_t barStyle_ = 0, blurStyle_ = 1, keyboardAppearance_ = 2;
};
