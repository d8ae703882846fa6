#include "uikit/UISearchController.h"

#include "foundation/Log.h"
#include "uikit/UIScreen.h"
#include "uikit/UIWindow.h"

UISearchController::UISearchController(std::shared_ptr<UIViewController> searchResultsController)
    : searchBar_(std::make_shared<UISearchBar>()), results_(std::move(searchResultsController)) {
  searchBar_->setOwningSearchController(this);
  setModalPresentationStyle(UIModalPresentationOverCurrentContext);
}

UISearchController::~UISearchController() { searchBar_->setOwningSearchController(nullptr); }

void UISearchController::loadView() {
  auto root = std::make_shared<UIView>(UIScreen::mainScreen().bounds());
  root->setBackgroundColor(UIColor::clearColor());
  dimming_ = std::make_shared<UIView>(root->bounds());
  dimming_->setBackgroundColor(UIColor::colorWithWhite(0, 0.4));
  root->addSubview(dimming_);
  setView(root);
}

void UISearchController::viewWillLayoutSubviews() {
  CGRect b = view()->bounds();
  double top = view()->safeAreaInsets().top;
  if (searchBar_->superview() == view().get()) searchBar_->setFrame(CGRect::make(0, top, b.width(), 56));
  dimming_->setFrame(b);
  if (results_ && results_->isViewLoaded() && results_->view()->superview() == view().get())
    results_->view()->setFrame(CGRect::make(0, top + 56, b.width(), b.height() - top - 56));
}

UIViewController* UISearchController::searchingScreen() const {
  for (UIView* v = searchBar_->superview(); v; v = v->superview())
    if (UIViewController* owner = v->owningViewController()) return owner;
  UIWindow* window = UIWindow::keyWindow();
  for (UIViewController* c = window ? window->frontViewController() : nullptr; c; c = c->parentViewController())
    if (c->navigationItem().searchController().get() == this) return c;
  return nullptr;
}

void UISearchController::setActive(bool active) {
  if (active == active_) return;
  if (active) {
    UIViewController* screen = searchingScreen();
    if (!screen) {
      KVLog("a search controller was activated while no screen on display holds its search bar");
      return;
    }
    if (delegate_) delegate_->willPresentSearchController(*this);
    active_ = true;
    barHome_ = searchBar_->superview();
    loadViewIfNeeded();
    view()->insertSubviewAtIndex(searchBar_, 0);  // in front of a person, first on screen
    if (results_) {
      addChildViewController(results_);
      view()->insertSubviewAbove(results_->view(), dimming_.get());
      results_->didMoveToParentViewController(this);
    }
    if (showsCancel_) searchBar_->setShowsCancelButton(true, true);
    updateResultsVisibility();
    screen->presentViewController(std::static_pointer_cast<UIViewController>(shared_from_this()), true, [this] {
      if (delegate_) delegate_->didPresentSearchController(*this);
    });
    updateResults();
    return;
  }
  if (delegate_) delegate_->willDismissSearchController(*this);
  active_ = false;
  searchBar_->resignFirstResponder();
  if (showsCancel_) searchBar_->setShowsCancelButton(false, true);
  if (barHome_) barHome_->addSubview(searchBar_);
  else searchBar_->removeFromSuperview();
  barHome_ = nullptr;
  if (results_ && results_->parentViewController() == this) {
    results_->willMoveToParentViewController(nullptr);
    results_->view()->removeFromSuperview();
    results_->removeFromParentViewController();
  }
  dismissViewControllerAnimated(true, [this] {
    if (delegate_) delegate_->didDismissSearchController(*this);
  });
  updateResults();
}

void UISearchController::setShowsSearchResultsController(bool value) {
  showsResults_ = value;
  updateResultsVisibility();
}

void UISearchController::updateResultsVisibility() {
  if (!isViewLoaded()) return;
  bool showResults = results_ && (showsResults_ || !searchBar_->text().empty());
  if (results_ && results_->isViewLoaded()) results_->view()->setHidden(!showResults);
  dimming_->setHidden(!obscures_ || showResults);
}

void UISearchController::updateResults() {
  if (updater_) updater_->updateSearchResultsForSearchController(*this);
}

void UISearchController::searchBarDidBeginEditing() { setActive(true); }

void UISearchController::searchBarTextDidChange() {
  if (!active_) setActive(true);
  updateResultsVisibility();
  updateResults();
}

void UISearchController::searchBarCancelled() {
  searchBar_->setText("");
  setActive(false);
}
