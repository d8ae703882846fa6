#pragma once
#include <map>
#include <memory>

#include "uikit/UIControl.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"

enum UIButtonType : long {
  UIButtonTypeCustom = 0,
  UIButtonTypeSystem = 1,
  UIButtonTypeDetailDisclosure = 2,
  UIButtonTypeInfoLight = 3,
  UIButtonTypeInfoDark = 4,
  UIButtonTypeContactAdd = 5,
  UIButtonTypeClose = 7,
};

// A button: title, title colour and image per state. A state without its own value
// shows the normal state's.
class UIButton : public UIControl {
 public:
  explicit UIButton(UIButtonType type = UIButtonTypeSystem);
  static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);

  UIButtonType buttonType() const { return type_; }
  void setTitle(const std::optional<std::string>& title, unsigned long state = UIControlStateNormal);
  std::optional<std::string> titleForState(unsigned long state) const;
  void setTitleColor(const std::optional<UIColor>& color, unsigned long state = UIControlStateNormal);
  std::optional<UIColor> titleColorForState(unsigned long state) const;
  void setImage(std::shared_ptr<UIImage> image, unsigned long state = UIControlStateNormal);
  std::shared_ptr<UIImage> imageForState(unsigned long state) const;
  void setBackgroundImage(std::shared_ptr<UIImage> image, unsigned long state = UIControlStateNormal);
  std::shared_ptr<UIImage> backgroundImageForState(unsigned long state) const;
  // What the button shows now, for its current state.
  std::string currentTitle() const;
  std::optional<UIColor> currentTitleColor() const;
  std::shared_ptr<UIImage> currentImage() const;

  UILabel* titleLabel() const { return titleLabel_.get(); }
  UIImageView* imageView() const { return imageView_.get(); }

  void setEnabled(bool enabled) override;
  void setSelected(bool selected) override;
  void setHighlighted(bool highlighted) override;
  CGSize sizeThatFits(CGSize size) const override;
  CGSize intrinsicContentSize() const override { return sizeThatFits({0, 0}); }
  bool appendScreenText(std::vector<std::string>& lines) const override;
  // "[Title]", "[Title] (disabled)".
  std::string screenLabel() const;

 private:
  void refresh();
  UIButtonType type_;
  std::map<unsigned long, std::string> titles_;
  std::map<unsigned long, UIColor> titleColors_;
  std::map<unsigned long, std::shared_ptr<UIImage>> images_;
  std::map<unsigned long, std::shared_ptr<UIImage>> backgroundImages_;
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UIImageView> imageView_;
};
