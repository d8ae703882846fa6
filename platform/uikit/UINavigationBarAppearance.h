#pragma once
#include <memory>
#include <optional>

#include "uikit/NSAttributedString.h"
#include "uikit/UIImage.h"
#include "uikit/UIVisualEffectView.h"

// The look of a navigation bar from system 13 on.
struct UINavigationBarAppearance {
  enum Background { Default, Opaque, Transparent };
  Background configuredBackground = Default;
  std::optional<UIColor> backgroundColor;
  std::optional<UIBlurEffectStyle> backgroundEffect = UIBlurEffectStyleRegular;
  std::shared_ptr<UIImage> backgroundImage;
  std::shared_ptr<UIImage> shadowImage;
  std::optional<UIColor> shadowColor = UIColor::colorWithWhite(0, 0.3);
  NSTextAttributes titleTextAttributes;
  NSTextAttributes largeTitleTextAttributes;

  void configureWithDefaultBackground() {
    configuredBackground = Default;
    backgroundColor.reset();
    backgroundEffect = UIBlurEffectStyleRegular;
    shadowColor = UIColor::colorWithWhite(0, 0.3);
  }
  void configureWithOpaqueBackground() {
    configuredBackground = Opaque;
    backgroundColor = UIColor::whiteColor();
    backgroundEffect.reset();
    shadowColor = UIColor::colorWithWhite(0, 0.3);
  }
  void configureWithTransparentBackground() {
    configuredBackground = Transparent;
    backgroundColor.reset();
    backgroundEffect.reset();
    shadowColor.reset();
  }
};
