#pragma once
#include <optional>

#include "uikit/NSAttributedString.h"
#include "uikit/UIControl.h"

class UIRefreshControl : public UIControl {
 public:
  UIRefreshControl() { setHidden(true); }
  void beginRefreshing() { refreshing_ = true; setHidden(false); }
  void endRefreshing() { refreshing_ = false; setHidden(true); }
  bool isRefreshing() const { return refreshing_; }
  const std::optional<NSAttributedString>& attributedTitle() const { return title_; }
  void setAttributedTitle(std::optional<NSAttributedString> title) { title_ = std::move(title); }
  bool appendScreenText(std::vector<std::string>& lines) const override {
    if (refreshing_) lines.push_back("(refreshing)");
    return true;
  }

 private:
  bool refreshing_ = false;
  std::optional<NSAttributedString> title_;
};
