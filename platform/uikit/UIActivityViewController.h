#pragma once
// The share sheet, as a recording stand-in: what was offered is kept, and a person
// can pick an activity or close it.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UIImage.h"
#include "uikit/UIViewController.h"

inline constexpr const char* UIActivityTypeAirDrop = "com.apple.UIKit.activity.AirDrop";
inline constexpr const char* UIActivityTypeMarkupAsPDF = "com.apple.UIKit.activity.MarkupAsPDF";
inline constexpr const char* UIActivityTypeOpenInIBooks = "com.apple.UIKit.activity.OpenInIBooks";
inline constexpr const char* UIActivityTypeSaveToCameraRoll = "com.apple.UIKit.activity.SaveToCameraRoll";
inline constexpr const char* UIActivityTypePrint = "com.apple.UIKit.activity.Print";
inline constexpr const char* UIActivityTypeAssignToContact = "com.apple.UIKit.activity.AssignToContact";
inline constexpr const char* UIActivityTypeCopyToPasteboard = "com.apple.UIKit.activity.CopyToPasteboard";
inline constexpr const char* UIActivityTypeMessage = "com.apple.UIKit.activity.Message";
inline constexpr const char* UIActivityTypeMail = "com.apple.UIKit.activity.Mail";

// One item offered to share: a text, a URL or an image.
struct UIActivityItem {
  enum Kind { Text, URL, Image } kind = Text;
  std::string text;
  std::shared_ptr<UIImage> image;
  static UIActivityItem withText(std::string t) { return {Text, std::move(t), nullptr}; }
  static UIActivityItem withURL(std::string u) { return {URL, std::move(u), nullptr}; }
  static UIActivityItem withImage(std::shared_ptr<UIImage> i) { return {Image, {}, std::move(i)}; }
};

class UIActivityViewController : public UIViewController {
 public:
  using Completion = std::function<void(std::optional<std::string> activityType, bool completed)>;
  explicit UIActivityViewController(std::vector<UIActivityItem> items);
  const std::vector<UIActivityItem>& activityItems() const { return items_; }
  const std::vector<std::string>& excludedActivityTypes() const { return excluded_; }
  void setExcludedActivityTypes(std::vector<std::string> types) { excluded_ = std::move(types); }
  void setCompletionWithItemsHandler(Completion completion) { completion_ = std::move(completion); }

  // Every share sheet that has appeared, in order (the recording).
  static const std::vector<std::shared_ptr<UIActivityViewController>>& shownSheets();
  static void clearShownSheets();

  // A person's choice of an activity (not an excluded one), or closing the sheet.
  bool performActivityByUser(const std::string& activityType);
  void cancelByUser();

  UIModalPresentationStyle effectivePresentationStyle() const override;
  void viewDidAppear(bool animated) override;
  void appendScreenText(std::vector<std::string>& lines) const override;

 private:
  void finish(std::optional<std::string> type, bool completed);
  std::vector<UIActivityItem> items_;
  std::vector<std::string> excluded_;
  Completion completion_;
  bool finished_ = false;
};
