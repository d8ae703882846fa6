#include "interface/SegmentedViewController.h"

#include "uikit/UIBarButtonItem.h"
#include "uikit/UIFont.h"
#include "uikit/UILabel.h"
#include "uikit/UISegmentedControl.h"
#include "uikit/UIStackView.h"

std::shared_ptr<SegmentedViewController> SegmentedViewController::initWithControllers(
    std::vector<std::shared_ptr<UIViewController>> controllers, std::vector<std::string> titles, long firstIndex) {
  auto screen = std::make_shared<SegmentedViewController>();
  screen->viewControllers_ = std::move(controllers);
  screen->viewTitles_ = std::move(titles);
  screen->setActiveIndex(firstIndex);
  return screen;
}

std::shared_ptr<UIViewController> SegmentedViewController::childAt(long index) const {
  if (index < 0 || static_cast<size_t>(index) >= viewControllers_.size()) return nullptr;
  return viewControllers_[static_cast<size_t>(index)];
}

void SegmentedViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setOverrideLargeTitles(true);
  viewSelector_ = std::make_shared<UISegmentedControl>(viewTitles_);
  viewSelector_->setSelectedSegmentIndex(activeIndex_);
  if (palette()) viewSelector_->setTintColor(palette()->tintColor());
  std::weak_ptr<SegmentedViewController> weak = std::static_pointer_cast<SegmentedViewController>(shared_from_this());
  viewSelector_->addTarget(
      this,
      [weak](UIControl& control) {
        auto self = weak.lock();
        auto* segmented = dynamic_cast<UISegmentedControl*>(&control);
        if (self && segmented) self->viewSelectorIndexDidChange(*segmented);
      },
      UIControlEventValueChanged);
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithCustomView(viewSelector_));

  activeViewController_ = childAt(activeIndex_);
  if (!activeViewController_) return;
  addChildViewController(activeViewController_);
  activeViewController_->view()->setFrame(view()->bounds());
  view()->addSubview(activeViewController_->view());
  activeViewController_->didMoveToParentViewController(this);
}

void SegmentedViewController::viewSelectorIndexDidChange(UISegmentedControl& control) {
  setActiveIndex(control.selectedSegmentIndex());
}

void SegmentedViewController::setActiveIndex(long index) {
  activeIndex_ = index;
  if (!isViewLoaded()) return;
  auto next = childAt(index);
  auto previous = activeViewController_;
  if (!next || next == previous) return;
  addChildViewController(next);
  if (!previous) {
    next->view()->setFrame(view()->bounds());
    view()->addSubview(next->view());
    next->didMoveToParentViewController(this);
    activeViewController_ = next;
    return;
  }
  std::weak_ptr<SegmentedViewController> weak = std::static_pointer_cast<SegmentedViewController>(shared_from_this());
  transitionFromViewController(
      previous.get(), next.get(), kTransitionDuration, 0,
      [weak, previous, next] {
        auto self = weak.lock();
        if (!self) return;
        previous->view()->removeFromSuperview();
        next->view()->setFrame(self->view()->bounds());
        self->view()->addSubview(next->view());
      },
      [weak, previous, next](bool) {
        auto self = weak.lock();
        if (!self) return;
        next->didMoveToParentViewController(self.get());
        previous->removeFromParentViewController();
        self->activeViewController_ = next;
      });
}

std::shared_ptr<UIStackView> SegmentedViewController::titleViewWithTitle(const std::string& title) {
  auto label = std::make_shared<UILabel>();
  label->setText(title);
  label->setFont(UIFont::boldSystemFontOfSize(14));
  std::vector<std::shared_ptr<UIView>> views{label};
  if (viewSelector_) views.push_back(viewSelector_);
  auto stack = std::make_shared<UIStackView>(views);
  stack->setAxis(UILayoutConstraintAxisVertical);
  stack->setAlignment(UIStackViewAlignmentCenter);
  stack->setSpacing(4);
  return stack;
}
