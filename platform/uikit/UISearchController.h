#pragma once
// A search controller: a search bar (in a screen's navigation item or anywhere in its
// views) that, once a person starts editing it, becomes active: it is presented over
// the screen with the bar in front and the results screen below it, and tells its
// updater of every change of the text until it is cancelled.
#include <memory>

#include "uikit/UISearchBar.h"
#include "uikit/UIViewController.h"

class UISearchController;

class UISearchResultsUpdating {
 public:
  virtual ~UISearchResultsUpdating() = default;
  virtual void updateSearchResultsForSearchController(UISearchController&) = 0;
};

class UISearchControllerDelegate {
 public:
  virtual ~UISearchControllerDelegate() = default;
  virtual void willPresentSearchController(UISearchController&) {}
  virtual void didPresentSearchController(UISearchController&) {}
  virtual void willDismissSearchController(UISearchController&) {}
  virtual void didDismissSearchController(UISearchController&) {}
};

class UISearchController : public UIViewController {
 public:
  // Without a results screen the results show in the searching screen itself.
  explicit UISearchController(std::shared_ptr<UIViewController> searchResultsController = nullptr);
  ~UISearchController() override;

  UISearchBar* searchBar() const { return searchBar_.get(); }
  const std::shared_ptr<UISearchBar>& searchBarShared() const { return searchBar_; }
  UIViewController* searchResultsController() const { return results_.get(); }
  // Held without ownership, like every delegate.
  UISearchResultsUpdating* searchResultsUpdater() const { return updater_; }
  void setSearchResultsUpdater(UISearchResultsUpdating* updater) { updater_ = updater; }
  UISearchControllerDelegate* delegate() const { return delegate_; }
  void setDelegate(UISearchControllerDelegate* delegate) { delegate_ = delegate; }

  bool isActive() const { return active_; }
  // Presents the search over its screen (or dismisses it); the bar edits while active.
  void setActive(bool active);
  bool obscuresBackgroundDuringPresentation() const { return obscures_; }
  void setObscuresBackgroundDuringPresentation(bool value) { obscures_ = value; }
  bool hidesNavigationBarDuringPresentation() const { return hidesBar_; }
  void setHidesNavigationBarDuringPresentation(bool value) { hidesBar_ = value; }
  bool automaticallyShowsCancelButton() const { return showsCancel_; }
  void setAutomaticallyShowsCancelButton(bool value) { showsCancel_ = value; }
  // The results screen shows even while the text is empty.
  bool showsSearchResultsController() const { return showsResults_; }
  void setShowsSearchResultsController(bool value);

  void loadView() override;
  void viewWillLayoutSubviews() override;

 private:
  friend class UISearchBar;
  void searchBarDidBeginEditing();
  void searchBarTextDidChange();
  void searchBarCancelled();
  // The screen whose navigation item or views hold the bar: the one to present over.
  UIViewController* searchingScreen() const;
  void updateResultsVisibility();
  void updateResults();

  std::shared_ptr<UISearchBar> searchBar_;
  std::shared_ptr<UIViewController> results_;
  std::shared_ptr<UIView> dimming_;
  UIView* barHome_ = nullptr;  // where the bar sat before it came to the front
  UISearchResultsUpdating* updater_ = nullptr;
  UISearchControllerDelegate* delegate_ = nullptr;
  bool active_ = false, obscures_ = true, hidesBar_ = true, showsCancel_ = true, showsResults_ = false;
};
