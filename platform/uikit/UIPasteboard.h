#pragma once
// The general pasteboard, as a recording stand-in. Safe from any thread.
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIImage.h"

class UIPasteboard {
 public:
  static UIPasteboard& generalPasteboard();
  std::optional<std::string> string() const;
  void setString(const std::optional<std::string>& text);
  std::vector<std::string> strings() const;
  void setStrings(std::vector<std::string> texts);
  std::optional<std::string> URL() const;
  void setURL(const std::optional<std::string>& url);
  std::shared_ptr<UIImage> image() const;
  void setImage(std::shared_ptr<UIImage> image);
  long changeCount() const;
  // Every text ever set, in order.
  std::vector<std::string> history() const;
  void reset();

 private:
  UIPasteboard() = default;
  mutable std::mutex mutex_;
  std::vector<std::string> strings_;
  std::optional<std::string> url_;
  std::shared_ptr<UIImage> image_;
  long changeCount_ = 0;
  std::vector<std::string> history_;
};
