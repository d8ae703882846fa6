#pragma once
// A screen that shows one of several child screens and switches between them with a
// segmented control in its navigation bar.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"

class UISegmentedControl;
class UIStackView;

class SegmentedViewController : public KVPalettedViewController {
 public:
  static constexpr double kTransitionDuration = 0.25;

  // The screen with its children and their segment titles, showing `firstIndex`.
  static std::shared_ptr<SegmentedViewController> initWithControllers(
      std::vector<std::shared_ptr<UIViewController>> controllers, std::vector<std::string> titles, long firstIndex);

  void viewDidLoad() override;
  // Shows child `index` (once the view is loaded; before that only records it).
  void setActiveIndex(long index);
  void viewSelectorIndexDidChange(UISegmentedControl& control);
  // A title above the segmented control, as one centred view.
  std::shared_ptr<UIStackView> titleViewWithTitle(const std::string& title);

  long activeIndex() const { return activeIndex_; }
  const std::shared_ptr<UIViewController>& activeViewController() const { return activeViewController_; }
  const std::shared_ptr<UISegmentedControl>& viewSelector() const { return viewSelector_; }
  const std::vector<std::shared_ptr<UIViewController>>& viewControllers() const { return viewControllers_; }
  const std::vector<std::string>& viewTitles() const { return viewTitles_; }

 private:
  std::shared_ptr<UIViewController> childAt(long index) const;

  std::shared_ptr<UISegmentedControl> viewSelector_;
  std::vector<std::shared_ptr<UIViewController>> viewControllers_;
  std::vector<std::string> viewTitles_;
  long activeIndex_ = 0;
  std::shared_ptr<UIViewController> activeViewController_;
};
