#include "uikit/UIBarButtonItem.h"

#include "uikit/UIButton.h"

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithTitle(std::string title, UIBarButtonItemStyle style, Action action) {
  auto item = std::make_shared<UIBarButtonItem>();
  item->title_ = std::move(title);
  item->style_ = style;
  item->action_ = std::move(action);
  return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithImage(std::shared_ptr<UIImage> image, UIBarButtonItemStyle style,
                                                                Action action) {
  auto item = std::make_shared<UIBarButtonItem>();
  item->image_ = std::move(image);
  item->style_ = style;
  item->action_ = std::move(action);
  return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItem system, Action action) {
  auto item = std::make_shared<UIBarButtonItem>();
  item->systemItem_ = system;
  item->action_ = std::move(action);
  if (system == UIBarButtonSystemItemDone) item->style_ = UIBarButtonItemStyleDone;
  return item;
}

std::shared_ptr<UIBarButtonItem> UIBarButtonItem::itemWithCustomView(std::shared_ptr<UIView> view) {
  auto item = std::make_shared<UIBarButtonItem>();
  item->customView_ = std::move(view);
  return item;
}

bool UIBarButtonItem::isSpace() const {
  return systemItem_ && (*systemItem_ == UIBarButtonSystemItemFlexibleSpace || *systemItem_ == UIBarButtonSystemItemFixedSpace);
}

std::string UIBarButtonItem::displayTitle() const {
  if (!title_.empty()) return title_;
  if (systemItem_) {
    switch (*systemItem_) {
      case UIBarButtonSystemItemDone: return "Done";
      case UIBarButtonSystemItemCancel: return "Cancel";
      case UIBarButtonSystemItemEdit: return "Edit";
      case UIBarButtonSystemItemSave: return "Save";
      case UIBarButtonSystemItemAdd: return "Add";
      case UIBarButtonSystemItemCompose: return "Compose";
      case UIBarButtonSystemItemReply: return "Reply";
      case UIBarButtonSystemItemAction: return "Share";
      case UIBarButtonSystemItemOrganize: return "Organize";
      case UIBarButtonSystemItemBookmarks: return "Bookmarks";
      case UIBarButtonSystemItemSearch: return "Search";
      case UIBarButtonSystemItemRefresh: return "Refresh";
      case UIBarButtonSystemItemStop: return "Stop";
      case UIBarButtonSystemItemCamera: return "Camera";
      case UIBarButtonSystemItemTrash: return "Trash";
      case UIBarButtonSystemItemPlay: return "Play";
      case UIBarButtonSystemItemPause: return "Pause";
      case UIBarButtonSystemItemUndo: return "Undo";
      case UIBarButtonSystemItemRedo: return "Redo";
      case UIBarButtonSystemItemClose: return "Close";
      default: return "";
    }
  }
  if (image_ && !image_->name().empty()) return image_->name();
  if (customView_) {
    if (auto* button = dynamic_cast<UIButton*>(customView_.get())) {
      std::string t = button->currentTitle();
      if (!t.empty()) return t;
      if (!button->accessibilityLabel().empty()) return button->accessibilityLabel();
      if (button->currentImage()) return button->currentImage()->name();
    }
    std::vector<std::string> lines;
    customView_->appendScreenText(lines);
    if (!lines.empty()) return lines.front();
  }
  return "item";
}

bool UIBarButtonItem::tapByUser() {
  if (!enabled_) return false;
  if (action_) {
    auto keep = weak_from_this().lock();
    auto action = action_;
    action(*this);
    return true;
  }
  if (auto* control = dynamic_cast<UIControl*>(customView_.get())) {
    if (!control->isEnabled()) return false;
    control->sendActionsForControlEvents(UIControlEventTouchDown);
    control->sendActionsForControlEvents(UIControlEventTouchUpInside | UIControlEventPrimaryActionTriggered);
    return true;
  }
  return false;
}
