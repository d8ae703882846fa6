#pragma once
#include <memory>
#include <string>
#include <vector>

#include "uikit/UIBarButtonItem.h"
#include "uikit/UINavigationBarAppearance.h"

class UISearchController;
class UIView;

enum UINavigationItemLargeTitleDisplayMode : long {
  UINavigationItemLargeTitleDisplayModeAutomatic = 0,
  UINavigationItemLargeTitleDisplayModeAlways = 1,
  UINavigationItemLargeTitleDisplayModeNever = 2,
};

// What a screen shows in the navigation bar while it is on top.
class UINavigationItem {
 public:
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::shared_ptr<UIView>& titleView() const { return titleView_; }
  void setTitleView(std::shared_ptr<UIView> view) { titleView_ = std::move(view); }
  const std::string& prompt() const { return prompt_; }
  void setPrompt(std::string prompt) { prompt_ = std::move(prompt); }

  const std::vector<std::shared_ptr<UIBarButtonItem>>& leftBarButtonItems() const { return left_; }
  const std::vector<std::shared_ptr<UIBarButtonItem>>& rightBarButtonItems() const { return right_; }
  std::shared_ptr<UIBarButtonItem> leftBarButtonItem() const { return left_.empty() ? nullptr : left_.front(); }
  std::shared_ptr<UIBarButtonItem> rightBarButtonItem() const { return right_.empty() ? nullptr : right_.front(); }
  void setLeftBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
  void setRightBarButtonItem(std::shared_ptr<UIBarButtonItem> item, bool animated = false);
  void setLeftBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);
  void setRightBarButtonItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);
  const std::shared_ptr<UIBarButtonItem>& backBarButtonItem() const { return back_; }
  void setBackBarButtonItem(std::shared_ptr<UIBarButtonItem> item) { back_ = std::move(item); }
  bool hidesBackButton() const { return hidesBackButton_; }
  void setHidesBackButton(bool hides, bool animated = false);
  UINavigationItemLargeTitleDisplayMode largeTitleDisplayMode() const { return largeTitleMode_; }
  void setLargeTitleDisplayMode(UINavigationItemLargeTitleDisplayMode mode) { largeTitleMode_ = mode; }
  // A search bar in the navigation bar, with the search it starts.
  const std::shared_ptr<UISearchController>& searchController() const { return searchController_; }
  void setSearchController(std::shared_ptr<UISearchController> controller) { searchController_ = std::move(controller); }
  bool hidesSearchBarWhenScrolling() const { return hidesSearchBarWhenScrolling_; }
  void setHidesSearchBarWhenScrolling(bool hides) { hidesSearchBarWhenScrolling_ = hides; }
  const std::shared_ptr<UINavigationBarAppearance>& standardAppearance() const { return standard_; }
  void setStandardAppearance(std::shared_ptr<UINavigationBarAppearance> a) { standard_ = std::move(a); }
  const std::shared_ptr<UINavigationBarAppearance>& scrollEdgeAppearance() const { return scrollEdge_; }
  void setScrollEdgeAppearance(std::shared_ptr<UINavigationBarAppearance> a) { scrollEdge_ = std::move(a); }

 private:
  std::string title_, prompt_;
  std::shared_ptr<UIView> titleView_;
  std::vector<std::shared_ptr<UIBarButtonItem>> left_, right_;
  std::shared_ptr<UIBarButtonItem> back_;
  bool hidesBackButton_ = false;
  UINavigationItemLargeTitleDisplayMode largeTitleMode_ = UINavigationItemLargeTitleDisplayModeAutomatic;
  std::shared_ptr<UINavigationBarAppearance> standard_, scrollEdge_;
  std::shared_ptr<UISearchController> searchController_;
  bool hidesSearchBarWhenScrolling_ = true;
};
