#pragma once
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "uikit/UITextField.h"
#include "uikit/UIViewController.h"

enum UIAlertActionStyle : long { UIAlertActionStyleDefault = 0, UIAlertActionStyleCancel = 1, UIAlertActionStyleDestructive = 2 };
enum UIAlertControllerStyle : long { UIAlertControllerStyleActionSheet = 0, UIAlertControllerStyleAlert = 1 };

class UIAlertAction {
 public:
  using Handler = std::function<void(UIAlertAction&)>;
  static std::shared_ptr<UIAlertAction> actionWithTitle(std::string title, UIAlertActionStyle style, Handler handler = {});
  const std::string& title() const { return title_; }
  UIAlertActionStyle style() const { return style_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool enabled) { enabled_ = enabled; }
  const Handler& handler() const { return handler_; }

 private:
  std::string title_;
  UIAlertActionStyle style_ = UIAlertActionStyleDefault;
  bool enabled_ = true;
  Handler handler_;
};

// Where the parts of an alert stand in its view: an alert is a card in the middle of the
// screen, an action sheet a card at the bottom with its cancel action in a card of its
// own below.
struct UIAlertCardLayout {
  CGRect card;
  CGRect title, message;        // empty when the alert has none
  std::vector<CGRect> fields;   // one per text field
  std::vector<CGRect> buttons;  // one per action, in the order of the actions
  CGRect cancelCard;            // an action sheet's cancel card, else empty
  bool sideBySide = false;      // two actions in one row
};

// The system alert and action sheet. Choosing an action dismisses the alert and runs
// the action's handler once the dismissal has finished.
class UIAlertController : public UIViewController {
 public:
  static std::shared_ptr<UIAlertController> alertControllerWithTitle(std::optional<std::string> title,
                                                                     std::optional<std::string> message,
                                                                     UIAlertControllerStyle style);
  UIAlertControllerStyle preferredStyle() const { return style_; }
  const std::optional<std::string>& alertTitle() const { return alertTitle_; }
  const std::optional<std::string>& message() const { return message_; }
  void setMessage(std::optional<std::string> message) { message_ = std::move(message); }
  void addAction(std::shared_ptr<UIAlertAction> action);
  const std::vector<std::shared_ptr<UIAlertAction>>& actions() const { return actions_; }
  const std::shared_ptr<UIAlertAction>& preferredAction() const { return preferred_; }
  void setPreferredAction(std::shared_ptr<UIAlertAction> action) { preferred_ = std::move(action); }
  void addTextFieldWithConfigurationHandler(const std::function<void(UITextField&)>& configure);
  const std::vector<std::shared_ptr<UITextField>>& textFields() const { return textFields_; }

  UIModalPresentationStyle effectivePresentationStyle() const override;
  UIAlertCardLayout cardLayout() const;
  void viewDidLayoutSubviews() override;
  // A person's choice; answers false when there is no enabled action of that title.
  bool chooseActionByUser(const std::string& title);
  void appendScreenText(std::vector<std::string>& lines) const override;

 private:
  UIAlertControllerStyle style_ = UIAlertControllerStyleAlert;
  std::optional<std::string> alertTitle_, message_;
  std::vector<std::shared_ptr<UIAlertAction>> actions_;
  std::shared_ptr<UIAlertAction> preferred_;
  std::vector<std::shared_ptr<UITextField>> textFields_;
  bool chosen_ = false;
};
