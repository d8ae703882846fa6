#include "interface/KVPalette.h"

namespace {
UIColor rgb(double r, double g, double b) { return UIColor::colorWithRed(r, g, b, 1.0); }
UIColor tint() { return rgb(0.0, 0.67, 0.88); }
// The tint a shade deeper, for text on light grounds and for light text on the tint: the
// bright one stands out from white and the light surface by 2.6 to 1 only, and a light
// title from it by 2.3; this one by 4.6 and more either way.
UIColor deepTint() { return rgb(0.0, 0.45, 0.66); }
UIColor lightSurface() { return rgb(0.94, 0.94, 0.96); }
}  // namespace

KVPalette KVPalette::initWithLightConfiguration() {
  KVPalette p;
  p.style_ = 0;
  p.backgroundColor_ = UIColor::whiteColor();
  p.foregroundColor_ = lightSurface();
  p.queueBackgroundColor_ = rgb(0.88, 0.97, 1.0);
  p.highlightColor_ = UIColor::lightGrayColor();
  p.tintColor_ = deepTint();
  p.barTintColor_ = UIColor::whiteColor();
  p.primaryTextColor_ = UIColor::darkTextColor();
  // Light grey and the bright price colour read on the dark grounds only; on white, on
  // the light surface and on the card's light blue these stand out by 4.6 to 1 and more.
  p.secondaryTextColor_ = UIColor::colorWithWhite(0.42, 1.0);
  p.paidTextColor_ = rgb(0.0, 0.46, 0.52);
  p.shadowColor_ = UIColor::grayColor();
  p.navBarColor_ = UIColor::whiteColor();
  p.cellBackgroundColor_ = UIColor::whiteColor();
  p.getButtonBackgoundColor_ = lightSurface();
  p.getButtonTextColor_ = deepTint();
  p.barStyle_ = 0;
  p.blurStyle_ = 1;
  p.keyboardAppearance_ = 2;
  return p;
}

// The dark palettes differ in their surfaces; the GET button's two colours are swapped.
// The bright tint, light grey and bright price read on their dark grounds.
KVPalette KVPalette::darkConfiguration(uint32_t style, UIColor background, UIColor surface, UIColor queue,
                                       UIColor highlight) {
  KVPalette p = initWithLightConfiguration();
  p.style_ = style;
  p.backgroundColor_ = background;
  p.navBarColor_ = background;
  p.foregroundColor_ = surface;
  p.barTintColor_ = surface;
  p.cellBackgroundColor_ = surface;
  p.queueBackgroundColor_ = queue;
  p.highlightColor_ = highlight;
  p.tintColor_ = tint();
  p.primaryTextColor_ = UIColor::whiteColor();
  p.secondaryTextColor_ = UIColor::lightGrayColor();
  p.paidTextColor_ = rgb(0.0, 0.82, 0.88);
  p.shadowColor_ = rgb(0.3, 0.3, 0.31);
  p.getButtonBackgoundColor_ = deepTint();
  p.getButtonTextColor_ = lightSurface();
  p.barStyle_ = 1;
  p.blurStyle_ = 2;
  p.keyboardAppearance_ = 1;
  return p;
}

KVPalette KVPalette::initWithBlueConfiguration() {
  // The card's blue a shade deeper than (0.08, 0.33, 0.4), on which neither the tint nor
  // the grey of its count stood out by 3.7 to 1.
  return darkConfiguration(1, rgb(0.07, 0.11, 0.15), rgb(0.1, 0.16, 0.22), rgb(0.05, 0.22, 0.27), rgb(0.2, 0.22, 0.26));
}
KVPalette KVPalette::initWithGreyConfiguration() {
  return darkConfiguration(2, rgb(0.09, 0.09, 0.09), rgb(0.11, 0.11, 0.12), rgb(0.2, 0.2, 0.2), rgb(0.21, 0.21, 0.22));
}
KVPalette KVPalette::initWithOLEDConfiguration() {
  return darkConfiguration(3, UIColor::blackColor(), rgb(0.05, 0.05, 0.05), rgb(0.1, 0.1, 0.1), rgb(0.15, 0.15, 0.16));
}

UIColor KVPalette::errorTextColor() const { return style_ == 0 ? rgb(0.8, 0.1, 0.08) : rgb(1.0, 0.45, 0.42); }

std::shared_ptr<KVPalette> KVPalette::paletteWithStyle(uint32_t style) {
  switch (style) {
    case 0: return std::make_shared<KVPalette>(initWithLightConfiguration());
    case 1: return std::make_shared<KVPalette>(initWithBlueConfiguration());
    case 2: return std::make_shared<KVPalette>(initWithGreyConfiguration());
    case 3: return std::make_shared<KVPalette>(initWithOLEDConfiguration());
    default: return nullptr;
  }
}

std::shared_ptr<KVPalette> KVPalette::paletteWithStyle(uint32_t style, const Overrides& overrides) {
  auto p = paletteWithStyle(style);
  if (p) p->applyOverrides(overrides);
  return p;
}

UIColor* KVPalette::colorSlot(const std::string& name) {
  if (name == "backgroundColor") return &backgroundColor_;
  if (name == "foregroundColor") return &foregroundColor_;
  if (name == "queueBackgroundColor") return &queueBackgroundColor_;
  if (name == "highlightColor") return &highlightColor_;
  if (name == "tintColor") return &tintColor_;
  if (name == "barTintColor") return &barTintColor_;
  if (name == "primaryTextColor") return &primaryTextColor_;
  if (name == "secondaryTextColor") return &secondaryTextColor_;
  if (name == "paidTextColor") return &paidTextColor_;
  if (name == "shadowColor") return &shadowColor_;
  if (name == "navBarColor") return &navBarColor_;
  if (name == "cellBackgroundColor") return &cellBackgroundColor_;
  return nullptr;
}

void KVPalette::applyOverrides(const Overrides& overrides) {
  for (const auto& [name, color] : overrides)
    if (UIColor* slot = colorSlot(name)) *slot = color;
}
