#pragma once
// The header of the store screens: a column 210 points high (more with `height`) of a
// spacer, a 90-point rounded image, a bold line, a regular line, an optional button and
// a spacer, centred and evenly spaced.
#include <memory>

class UIButton;
class UIImage;
class UIImageView;
class UILabel;
class UIStackView;
class UIView;

struct KVStoreHeader {
  std::shared_ptr<UIStackView> view;
  UIImageView* image = nullptr;
  UILabel* title = nullptr;
  UILabel* subtitle = nullptr;

  static KVStoreHeader make(double width, double height, std::shared_ptr<UIImage> image,
                            std::shared_ptr<UIButton> button = nullptr);
  // Sets the column's height (the table header is set again by the caller).
  void setHeight(double height) const;
};
