#pragma once
#include <memory>
#include <optional>
#include <string>

#include "uikit/UIColor.h"
#include "uikit/UIImage.h"

class UITabBarItem {
 public:
  UITabBarItem() = default;
  UITabBarItem(std::string title, std::shared_ptr<UIImage> image, long tag)
      : title_(std::move(title)), image_(std::move(image)), tag_(tag) {}
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::shared_ptr<UIImage>& image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }
  const std::shared_ptr<UIImage>& selectedImage() const { return selectedImage_; }
  void setSelectedImage(std::shared_ptr<UIImage> image) { selectedImage_ = std::move(image); }
  const std::optional<std::string>& badgeValue() const { return badgeValue_; }
  void setBadgeValue(std::optional<std::string> value) { badgeValue_ = std::move(value); }
  const std::optional<UIColor>& badgeColor() const { return badgeColor_; }
  void setBadgeColor(std::optional<UIColor> color) { badgeColor_ = std::move(color); }
  long tag() const { return tag_; }
  void setTag(long tag) { tag_ = tag; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }

 private:
  std::string title_;
  std::shared_ptr<UIImage> image_, selectedImage_;
  std::optional<std::string> badgeValue_;
  std::optional<UIColor> badgeColor_;
  long tag_ = 0;
  bool enabled_ = true;
};
