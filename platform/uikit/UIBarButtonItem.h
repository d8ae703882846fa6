#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "uikit/SelectorTarget.h"
#include "uikit/UIColor.h"
#include "uikit/UIImage.h"

class UIView;

enum UIBarButtonSystemItem : long {
  UIBarButtonSystemItemDone = 0,
  UIBarButtonSystemItemCancel = 1,
  UIBarButtonSystemItemEdit = 2,
  UIBarButtonSystemItemSave = 3,
  UIBarButtonSystemItemAdd = 4,
  UIBarButtonSystemItemFlexibleSpace = 5,
  UIBarButtonSystemItemFixedSpace = 6,
  UIBarButtonSystemItemCompose = 7,
  UIBarButtonSystemItemReply = 8,
  UIBarButtonSystemItemAction = 9,
  UIBarButtonSystemItemOrganize = 10,
  UIBarButtonSystemItemBookmarks = 11,
  UIBarButtonSystemItemSearch = 12,
  UIBarButtonSystemItemRefresh = 13,
  UIBarButtonSystemItemStop = 14,
  UIBarButtonSystemItemCamera = 15,
  UIBarButtonSystemItemTrash = 16,
  UIBarButtonSystemItemPlay = 17,
  UIBarButtonSystemItemPause = 18,
  UIBarButtonSystemItemUndo = 21,
  UIBarButtonSystemItemRedo = 22,
  UIBarButtonSystemItemClose = 24,
};

enum UIBarButtonItemStyle : long { UIBarButtonItemStylePlain = 0, UIBarButtonItemStyleBordered = 1, UIBarButtonItemStyleDone = 2 };

// A button of a navigation bar or toolbar: a title, an image, a system item or a view.
class UIBarButtonItem : public SelectorTarget, public std::enable_shared_from_this<UIBarButtonItem> {
 public:
  using Action = std::function<void(UIBarButtonItem& sender)>;
  static std::shared_ptr<UIBarButtonItem> itemWithTitle(std::string title, UIBarButtonItemStyle style, Action action);
  static std::shared_ptr<UIBarButtonItem> itemWithImage(std::shared_ptr<UIImage> image, UIBarButtonItemStyle style,
                                                        Action action);
  static std::shared_ptr<UIBarButtonItem> itemWithBarButtonSystemItem(UIBarButtonSystemItem item, Action action);
  static std::shared_ptr<UIBarButtonItem> itemWithCustomView(std::shared_ptr<UIView> view);

  const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }
  const std::shared_ptr<UIImage>& image() const { return image_; }
  void setImage(std::shared_ptr<UIImage> image) { image_ = std::move(image); }
  UIBarButtonItemStyle style() const { return style_; }
  void setStyle(UIBarButtonItemStyle style) { style_ = style; }
  std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
  const std::shared_ptr<UIView>& customView() const { return customView_; }
  void setCustomView(std::shared_ptr<UIView> view) { customView_ = std::move(view); }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  const std::optional<UIColor>& tintColor() const { return tintColor_; }
  void setTintColor(std::optional<UIColor> color) { tintColor_ = std::move(color); }
  long tag() const { return tag_; }
  void setTag(long tag) { tag_ = tag; }
  void setAction(Action action) { action_ = std::move(action); }
  bool hasAction() const { return static_cast<bool>(action_); }

  // What a person reads on it: the title, the system item's name ("Done", "Add",
  // "Share"...), the image's name, or the custom view's text.
  std::string displayTitle() const;
  bool isSpace() const;
  // A person's tap: the action, or the custom view's button.
  bool tapByUser();

 private:
  std::string title_;
  std::shared_ptr<UIImage> image_;
  UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
  std::optional<UIBarButtonSystemItem> systemItem_;
  std::shared_ptr<UIView> customView_;
  bool enabled_ = true;
  std::optional<UIColor> tintColor_;
  long tag_ = 0;
  Action action_;
};
