#include "uikit/UIButton.h"

#include "uikit/UIScreenTextFormat.h"

UIButton::UIButton(UIButtonType type) : type_(type) {
  titleLabel_ = std::make_shared<UILabel>();
  titleLabel_->setFont(UIFont::systemFontOfSize(type == UIButtonTypeSystem ? 15 : 17));
  imageView_ = std::make_shared<UIImageView>();
  addSubview(imageView_);
  addSubview(titleLabel_);
  if (type == UIButtonTypeCustom) titleColors_[UIControlStateNormal] = UIColor::whiteColor();
  refresh();
}

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type) { return std::make_shared<UIButton>(type); }

namespace {
template <class Map>
auto lookup(const Map& map, unsigned long state) -> const typename Map::mapped_type* {
  auto it = map.find(state);
  if (it == map.end()) it = map.find(UIControlStateNormal);
  return it == map.end() ? nullptr : &it->second;
}
}  // namespace

void UIButton::setTitle(const std::optional<std::string>& title, unsigned long state) {
  UI_MAIN_THREAD_ONLY();
  if (title) titles_[state] = *title;
  else titles_.erase(state);
  refresh();
}

std::optional<std::string> UIButton::titleForState(unsigned long state) const {
  auto* t = lookup(titles_, state);
  return t ? std::optional<std::string>(*t) : std::nullopt;
}

void UIButton::setTitleColor(const std::optional<UIColor>& color, unsigned long state) {
  UI_MAIN_THREAD_ONLY();
  if (color) titleColors_[state] = *color;
  else titleColors_.erase(state);
  refresh();
}

std::optional<UIColor> UIButton::titleColorForState(unsigned long state) const {
  auto* c = lookup(titleColors_, state);
  if (c) return *c;
  if (type_ == UIButtonTypeSystem) return tintColor();
  return std::nullopt;
}

void UIButton::setImage(std::shared_ptr<UIImage> image, unsigned long state) {
  UI_MAIN_THREAD_ONLY();
  if (image) images_[state] = std::move(image);
  else images_.erase(state);
  refresh();
}

std::shared_ptr<UIImage> UIButton::imageForState(unsigned long state) const {
  auto* i = lookup(images_, state);
  return i ? *i : nullptr;
}

void UIButton::setBackgroundImage(std::shared_ptr<UIImage> image, unsigned long state) {
  UI_MAIN_THREAD_ONLY();
  if (image) backgroundImages_[state] = std::move(image);
  else backgroundImages_.erase(state);
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(unsigned long state) const {
  auto* i = lookup(backgroundImages_, state);
  return i ? *i : nullptr;
}

std::string UIButton::currentTitle() const { return titleForState(state()).value_or(""); }
std::optional<UIColor> UIButton::currentTitleColor() const { return titleColorForState(state()); }
std::shared_ptr<UIImage> UIButton::currentImage() const { return imageForState(state()); }

void UIButton::refresh() {
  titleLabel_->setText(currentTitle());
  if (auto c = currentTitleColor()) titleLabel_->setTextColor(*c);
  imageView_->setImage(currentImage());
}

void UIButton::setEnabled(bool enabled) {
  UIControl::setEnabled(enabled);
  refresh();
}
void UIButton::setSelected(bool selected) {
  UIControl::setSelected(selected);
  refresh();
}
void UIButton::setHighlighted(bool highlighted) {
  UIControl::setHighlighted(highlighted);
  refresh();
}

CGSize UIButton::sizeThatFits(CGSize) const {
  double w = titleLabel_->font().widthOfString(currentTitle());
  if (auto img = currentImage()) w += img->size().width;
  return {w + 12, std::max(30.0, titleLabel_->font().lineHeight() + 12)};
}

std::string UIButton::screenLabel() const {
  std::string title = currentTitle();
  if (title.empty()) title = accessibilityLabel();
  if (title.empty() && currentImage()) title = currentImage()->name();
  if (title.empty()) title = "button";
  std::string disabled = accessibilityValue().empty() ? " (disabled)" : " (disabled: " + UIScreenTextFormat::oneLine(accessibilityValue(), 80) + ")";
  return "[" + UIScreenTextFormat::oneLine(title, 60) + "]" + (isEnabled() ? "" : disabled) +
         (isSelected() ? " (selected)" : "");
}

bool UIButton::appendScreenText(std::vector<std::string>& lines) const {
  lines.push_back(screenLabel());
  return true;
}
