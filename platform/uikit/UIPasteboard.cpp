#include "uikit/UIPasteboard.h"

UIPasteboard& UIPasteboard::generalPasteboard() {
  static UIPasteboard board;
  return board;
}

std::optional<std::string> UIPasteboard::string() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (strings_.empty()) return std::nullopt;
  return strings_.front();
}

void UIPasteboard::setString(const std::optional<std::string>& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  strings_.clear();
  if (text) {
    strings_.push_back(*text);
    history_.push_back(*text);
  }
  ++changeCount_;
}

std::vector<std::string> UIPasteboard::strings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return strings_;
}

void UIPasteboard::setStrings(std::vector<std::string> texts) {
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& t : texts) history_.push_back(t);
  strings_ = std::move(texts);
  ++changeCount_;
}

std::optional<std::string> UIPasteboard::URL() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return url_;
}

void UIPasteboard::setURL(const std::optional<std::string>& url) {
  std::lock_guard<std::mutex> lock(mutex_);
  url_ = url;
  ++changeCount_;
}

std::shared_ptr<UIImage> UIPasteboard::image() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return image_;
}

void UIPasteboard::setImage(std::shared_ptr<UIImage> image) {
  std::lock_guard<std::mutex> lock(mutex_);
  image_ = std::move(image);
  ++changeCount_;
}

long UIPasteboard::changeCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return changeCount_;
}

std::vector<std::string> UIPasteboard::history() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return history_;
}

void UIPasteboard::reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  strings_.clear();
  url_.reset();
  image_.reset();
  changeCount_ = 0;
  history_.clear();
}
