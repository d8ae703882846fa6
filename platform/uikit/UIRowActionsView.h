#pragma once
// The buttons a table row shows for a person's gesture: its swipe actions, uncovered
// beside the row as it slides aside, or its edit menu, held over it after a long press.
// Each action is a button of its own, so that the pointer, the window's report of places
// and the prompt's tap all find it where it is drawn.
#include <functional>
#include <memory>
#include <vector>

#include "uikit/UIButton.h"
#include "uikit/UITableView.h"

class UIRowActionsView : public UIView {
 public:
  using Kind = UIRowActionsKind;
  // `chosen` runs with the index of the action a button stands for.
  UIRowActionsView(Kind kind, std::vector<UITableViewSwipeAction> actions, std::function<void(size_t)> chosen);

  Kind kind() const { return kind_; }
  const std::vector<UITableViewSwipeAction>& actions() const { return actions_; }
  // The width of all the buttons side by side, each as wide as its title asks.
  double fullWidth() const;

  // The buttons share the width the view has, in proportion to their own.
  void layoutSubviews() override;
  // "[Remove] [Refresh] [Info]", in the order they stand.
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  Kind kind_;
  std::vector<UITableViewSwipeAction> actions_;
  std::vector<std::shared_ptr<UIButton>> buttons_;  // left to right
};
