#pragma once
// One source's page: icon, name, location, description, status, maintainer, installed
// and total package counts, time since its index was generated, the follow and
// original-depiction switches, the donation, Twitter and e-mail buttons, the payment
// service's sign-in and purchases, and its packages. Without a location it is the
// new-source form: ending the location field's edit with a valid http or https
// location adds the source, and its refresh turns the form into the source's page.
// Opened through KVScreens::sourcePage.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "foundation/NotificationToken.h"
#include "foundation/RunLoop.h"
#include "foundation/Value.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITextField.h"

class UIButton;
class UIImageView;
class UILabel;
class UIProgressView;
class UIScrollView;
class UIStackView;
class UISwitch;
class UIBarButtonItem;
class KVRSource;

class SourceViewController : public KVPalettedViewController, public UITextFieldDelegate {
 public:
  // The page of the source at `location`, or the new-source form without one; a
  // presented page closes itself with "Close".
  SourceViewController(KVScreenContext context, std::optional<std::string> location, bool presented);
  ~SourceViewController() override;

  const std::optional<std::string>& sourceLocation() const { return sourceLocation_; }
  bool isPresented() const { return isPresented_; }
  // The snapshot of the source record; none for the form before a valid location.
  const std::optional<Value>& sourceDictionary() const { return sourceDictionary_; }

  static bool stringIsValidURL(const std::optional<std::string>& text);
  bool isSourceStringValid() const { return stringIsValidURL(sourceLocation_); }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;
  void viewDidLayoutSubviews() override;

  void setContent();
  void updateSource();
  void updateButtons();
  void setSourceDictionaryFromSourceObject();

  void refreshSource();
  void shareSource(UIBarButtonItem* sender);
  void dismissVC();
  void backSwipe();
  void followThisRepository();
  void seeOriginalDepictions();
  void donate();
  void goToTwitter();
  void contactEmail();
  void logInOut();
  void openPurchased();
  void openPackages();
  void editingDidEnd();
  void sourceRefreshed(const Notification& notification);

  bool textFieldShouldReturn(UITextField& field) override;
  bool textFieldShouldBeginEditing(UITextField& field) override;
  bool textFieldShouldEndEditing(UITextField&) override { return true; }

  // The vendor's own repository, whose field cannot be edited.
  static std::string vendorRepositoryLocation();

  // Outlets.
  UIImageView* iconView() const { return iconView_; }
  UILabel* topSourceStatusLbl() const { return topStatus_; }
  UIImageView* verifiedIcon() const { return verifiedIcon_; }
  UILabel* sourceNameLbl() const { return name_; }
  UITextField* sourceUrlTextField() const { return urlField_; }
  UILabel* sourceDescriptionLbl() const { return description_; }
  UISwitch* followThisRepositorySwitch() const { return followSwitch_; }
  UISwitch* seeOriginalDepictionsSwitch() const { return depictionsSwitch_; }
  UILabel* sourceOrganisationLbl() const { return organisation_; }
  UILabel* sourceStatusLbl() const { return status_; }
  UILabel* sourceInstalledPackagesLbl() const { return installed_; }
  UILabel* sourceNumberOfPackagesLbl() const { return total_; }
  UILabel* sourceLastRepoRegenLbl() const { return regen_; }
  UIProgressView* tasksProgressBar() const { return tasksProgressBar_; }
  // What the page's own Refresh is doing, then how it ended; empty before it is used.
  UILabel* refreshStatusLbl() const { return refreshStatus_; }
  UIView* repoStoreContainer() const { return repoStoreContainer_; }
  double repoStoreContainerHeight() const { return repoStoreContainerHeight_; }
  UIButton* repoStoreLogInOutButton() const { return logInOut_; }
  UIButton* repoStorePurchasedButton() const { return purchased_; }

 private:
  // A text field of the snapshot that is there and not empty.
  std::optional<std::string> snapshotText(const char* key) const;
  bool snapshotFlag(const char* key) const;
  bool recordExists() const;
  // One write transaction on the source's record, when it is there.
  void writeSource(const std::function<void(KVRSource&)>& change);
  void tickTimeSince();
  void layOutRows();
  void pushBrowser(const std::string& title, const std::string& address);
  void showCard(const std::string& title, const std::string& message);
  // Follows the refresh task of this page's source through the pipeline's notices.
  void followRefresh(const std::string& taskID);
  void refreshEnded(bool success, const ErrorRef& error);

  KVScreenContext context_;
  std::optional<std::string> sourceLocation_;
  // A location whose addition waits (for the http warning's answer, or its refresh).
  std::optional<std::string> pendingLocation_;
  bool isPresented_ = false;
  std::optional<Value> sourceDictionary_;
  RunLoop::TimerId timeSinceTimer_ = 0;
  NotificationToken sourceObservation_;
  std::string refreshTaskID_;  // the refresh this page started and follows, while it runs
  std::vector<NotificationToken> refreshObservations_;
  std::shared_ptr<UIViewController> browser_;
  std::shared_ptr<UIViewController> lastPushed_;
  double repoStoreContainerHeight_ = 0;

  UIScrollView* scrollView_ = nullptr;
  UIProgressView* tasksProgressBar_ = nullptr;
  UIImageView* iconView_ = nullptr;
  UILabel* topStatus_ = nullptr;
  UIImageView* verifiedIcon_ = nullptr;
  UILabel* name_ = nullptr;
  UITextField* urlField_ = nullptr;
  UILabel* description_ = nullptr;
  UILabel* refreshStatus_ = nullptr;
  UISwitch* followSwitch_ = nullptr;
  UISwitch* depictionsSwitch_ = nullptr;
  UILabel* organisation_ = nullptr;
  UILabel* status_ = nullptr;
  UILabel* installed_ = nullptr;
  UILabel* total_ = nullptr;
  UILabel* regen_ = nullptr;
  UIButton* packagesButton_ = nullptr;
  UIButton* donateBtn_ = nullptr;
  UIButton* twitterButton_ = nullptr;
  UIButton* emailButton_ = nullptr;
  UIView* repoStoreContainer_ = nullptr;
  UIButton* logInOut_ = nullptr;
  UIButton* purchased_ = nullptr;
  std::vector<std::pair<UILabel*, UILabel*>> rows_;  // a title and its value
  std::vector<UILabel*> captions_;                   // the rows' titles, the switches' too
};
