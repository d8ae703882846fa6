#pragma once
// Swipe actions of a table row: the older row actions and the contextual actions with
// their configuration.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIColor.h"
#include "uikit/UIGeometry.h"
#include "uikit/UIImage.h"

class UIView;

enum UITableViewRowActionStyle : long {
  UITableViewRowActionStyleDefault = 0,
  UITableViewRowActionStyleDestructive = 0,
  UITableViewRowActionStyleNormal = 1,
};

class UITableViewRowAction {
 public:
  using Handler = std::function<void(UITableViewRowAction&, const NSIndexPath&)>;
  static std::shared_ptr<UITableViewRowAction> rowActionWithStyle(UITableViewRowActionStyle style, std::string title,
                                                                   Handler handler);
  UITableViewRowActionStyle style() const { return style_; }
  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<UIColor> color) { backgroundColor_ = std::move(color); }
  const Handler& handler() const { return handler_; }

 private:
  UITableViewRowActionStyle style_ = UITableViewRowActionStyleDefault;
  std::string title_;
  std::optional<UIColor> backgroundColor_;
  Handler handler_;
};

enum UIContextualActionStyle : long { UIContextualActionStyleNormal = 0, UIContextualActionStyleDestructive = 1 };

class UIContextualAction {
 public:
  using Handler = std::function<void(UIContextualAction&, UIView* sourceView, std::function<void(bool)> completion)>;
  static std::shared_ptr<UIContextualAction> contextualActionWithStyle(UIContextualActionStyle style, std::string title,
                                                                       Handler handler);
  UIContextualActionStyle style() const { return style_; }
  const std::string& title() const { return title_; }
  const std::optional<UIColor>& backgroundColor() const { return backgroundColor_; }
  void setBackgroundColor(std::optional<UIColor> color) { backgroundColor_ = std::move(color); }
  const std::shared_ptr<UIImage>& image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }
  const Handler& handler() const { return handler_; }

 private:
  UIContextualActionStyle style_ = UIContextualActionStyleNormal;
  std::string title_;
  std::optional<UIColor> backgroundColor_;
  std::shared_ptr<UIImage> image_;
  Handler handler_;
};

class UISwipeActionsConfiguration {
 public:
  static std::shared_ptr<UISwipeActionsConfiguration> configurationWithActions(
      std::vector<std::shared_ptr<UIContextualAction>> actions);
  const std::vector<std::shared_ptr<UIContextualAction>>& actions() const { return actions_; }
  bool performsFirstActionWithFullSwipe() const { return fullSwipe_; }
  void setPerformsFirstActionWithFullSwipe(bool value) { fullSwipe_ = value; }

 private:
  std::vector<std::shared_ptr<UIContextualAction>> actions_;
  bool fullSwipe_ = true;
};
