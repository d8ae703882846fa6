#pragma once
// The people credited for the application, as the vendor's service lists them, each with
// their avatar (the application's artwork until it arrives, or when there is none) and a
// line about them; a tap looks the person up in the developer search and opens their
// developer page. The list is read once, when the screen loads. Opened through
// KVScreens::credits.
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class KVRequestFailureView;
class UIImage;
class UIProgressView;

class CreditsViewController : public KVPalettedViewController, public UITableViewDataSource, public UITableViewDelegate {
 public:
  static constexpr const char* kCreditsPath = "credits/credits.php";
  static constexpr double kRowHeight = 56;

  explicit CreditsViewController(KVScreenContext context);

  // The entries in the reply's order ("name", "avatarURL", "username", "description").
  const std::vector<Value>& creditsArray() const { return creditsArray_; }
  // The avatars arrived so far, by the entry's name.
  const std::map<std::string, std::shared_ptr<UIImage>>& avatarDictionary() const { return avatarDictionary_; }
  UITableView* creditsTableView() const { return creditsTableView_.get(); }
  UIProgressView* tasksProgressBar() const { return tasksProgressBar_.get(); }
  // Why the credits could not be read, and "Try Again"; hidden while there is no failure.
  KVRequestFailureView* failureView() const { return failureView_.get(); }
  // The developer page opened last.
  const std::shared_ptr<UIViewController>& developerPage() const { return developerPage_; }

  void backSwipe();

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long numberOfSectionsInTableView(UITableView&) override { return 1; }
  long tableViewNumberOfRowsInSection(UITableView&, long) override { return long(creditsArray_.size()); }
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return kRowHeight; }

 private:
  void requestCredits();
  // On the main thread: the reply's entries, and their avatars asked for.
  void creditsArrived(std::vector<Value> entries);
  void fetchAvatar(const std::string& name, const std::string& address);
  void avatarArrived(const std::string& name, std::shared_ptr<UIImage> image);

  KVScreenContext context_;
  std::vector<Value> creditsArray_;
  std::map<std::string, std::shared_ptr<UIImage>> avatarDictionary_;
  // The names whose avatar was asked for: two entries of one name share one.
  std::set<std::string> avatarsAsked_;
  std::shared_ptr<UIViewController> developerPage_;
  std::shared_ptr<UITableView> creditsTableView_;
  std::shared_ptr<UIProgressView> tasksProgressBar_;
  std::shared_ptr<KVRequestFailureView> failureView_;
};
