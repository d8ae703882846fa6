// What the package page does when it is acted on: the Get button (its title from the
// package's state and the payment service's answer) and the options, share, wishlist,
// star, link, mail and review actions.
#include <algorithm>

#include "account/KVAccount.h"
#include "account/KVPackageRatings.h"
#include "account/KVPackagesWishlist.h"
#include "core/KVMailLink.h"
#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/URL.h"
#include "interface/ErrorViewController.h"
#include "interface/KVApplicationActions.h"
#include "interface/PackageCell.h"
#include "interface/UIButtonGetButton.h"
#include "package/KVPackageSnapshot.h"
#include "foundation/WeakSelf.h"
#include "package/PackageDetailsViewController.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIGestureRecognizer.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"

namespace {
using KVPackageSnapshot::text;

std::optional<std::string> signedInUsername() {
  auto name = KVAccount::instance().returnUsername();
  if (!name || name->empty()) return std::nullopt;
  return name;
}

double titleWidth(const std::string& title) {
  if (title.empty()) return 0;
  UILabel measure;
  measure.setFont(UIFont::boldSystemFontOfSize(13));
  measure.setText(title);
  return measure.sizeThatFits({0, 0}).width;
}

// What the rating service's answer to a posted review means to a person.
std::string reviewAnswerMessage(const std::string& answer) {
  if (answer == "Success") return NSLocalizedString("Review has been successfully posted");
  if (answer == "Successfully updated") return NSLocalizedString("Review has been successfully updated");
  if (answer == "Failed") return NSLocalizedString("There was an error while posting the review");
  return answer;
}
}  // namespace

// ---- The Get button

std::string PackageDetailsViewController::getButtonTitle() const {
  bool available = packageInfoWasFetched_ ? packageAvailable_ : true;
  bool owned = packageInfoWasFetched_ && packageOwned_;
  auto price = packageInfoWasFetched_ ? packagePrice_ : std::nullopt;
  return context_.packages->getButtonTitleForPackageIdentifier(packageIdentifier_, true, available, owned, price)
      .value_or("");
}

void PackageDetailsViewController::updateGetButtonTitle() {
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !self->isViewLoaded()) return;
    bool enabled = self->packageInfoWasFetched_ ? self->packageAvailable_ : true;
    std::string title = self->getButtonTitle();
    double width = titleWidth(title);
    // The version row follows the device as the button does: an update, a hold.
    if (auto record = KVRPackage::objectForPrimaryKey(self->packageIdentifier_)) {
      std::string version = PackageCellLook::versionText(*record);
      self->outlets_.packageVersionLbl->setText(version.empty() ? NSLocalizedString("None") : version);
    }
    std::vector<UIButton*> buttons{self->outlets_.getBtn};
    if (self->getBarBtn_) buttons.push_back(self->getBarBtn_.get());
    for (UIButton* b : buttons) {
      b->setTitle(title);
      b->setUserInteractionEnabled(enabled);
    }
    self->view()->setNeedsLayout();
    // The button of the header in force takes the opacity; the other stays hidden, or a
    // collapsed header would show both and never expand again.
    bool compact = self->isHeaderCompact();
    UIView::animateWithDuration(0.3, [self, width, compact] {
      self->outlets_.getBtn->setAlpha(compact ? 0 : self->buttonAlpha_);
      if (self->getBarBtn_) self->getBarBtn_->setAlpha(compact ? self->buttonAlpha_ : 0);
      self->outlets_.getBtnWidthConstraint->setConstant(width + 34.0);
      self->view()->setNeedsLayout();
    });
  });
}

void PackageDetailsViewController::getPackage(UIButton* sender) {
  // An unavailable package's buttons take no taps.
  if (packageInfoWasFetched_ && !packageAvailable_) return;
  if (sender && (sender == outlets_.getBtn || sender == getBarBtn_.get())) UIButtonGetButton::animateButton(*sender);
  std::weak_ptr<void> button;
  if (sender) button = sender->weak_from_this();
  context_.actions->queuePackageWithIdentifier(packageIdentifier_, std::nullopt, button);
}

void PackageDetailsViewController::presentOptions(UIGestureRecognizer* recognizer) {
  if (recognizer && recognizer->state() != UIGestureRecognizerStateBegan) return;
  context_.actions->presentOptions(packageIdentifier_, recognizer);
}

void PackageDetailsViewController::presentOptionsFromButton(UIButton* sender) {
  if (sender) UIButtonGetButton::animateButton(*sender);
  context_.actions->presentOptions(packageIdentifier_, static_cast<UIView*>(sender));
}

void PackageDetailsViewController::sharePackage(UIButton* sender) {
  context_.actions->sharePackage(packageIdentifier_, static_cast<UIView*>(sender));
}

// ---- The wishlist

void PackageDetailsViewController::changeWishlistState() {
  bool wished = !KVPackageSnapshot::flag(packageDictionary_, "isInWishlist");
  if (auto error = context_.packages->setPackageInWishlist(packageIdentifier_, wished)) {
    showCard(NSLocalizedString("Packages Wishlist"), error->localizedDescription());
    return;
  }
  wishlistBtn_->setImage(UIImage::imageNamed(wished ? "Fav" : "Not Fav"));
  packageDictionary_.set("isInWishlist", wished);
  // Only a signed-in account has a wishlist on the service.
  if (signedInUsername()) KVPackagesWishlist::sharedInstance().syncWithTheKorvaleAccount();
}

// ---- Links

std::string PackageDetailsViewController::developerDisplayName() const {
  if (auto name = text(packageDictionary_, "maintainer")) return *name;
  if (auto contact = text(packageDictionary_, "contact")) return *contact;
  if (auto contact = text(sourceDictionary_, "contact")) return *contact;
  return NSLocalizedString("No dev name found");
}

void PackageDetailsViewController::developerWebsite() {
  std::string name = developerDisplayName();
  if (auto website = text(packageDictionary_, "website")) {
    pushBrowser(NSLocalizedFormat("%@'s website", {name}), *website);
    return;
  }
  showCard(NSLocalizedString("No Website Link"), NSLocalizedFormat("%@ hasn't provided a website link", {name}));
}

void PackageDetailsViewController::donate() {
  std::string name = developerDisplayName();
  if (auto link = text(packageDictionary_, "donateLink")) {
    pushBrowser(NSLocalizedFormat("%@'s Donate Link", {name}), *link);
    return;
  }
  showCard(NSLocalizedString("No Donate Link"),
           isInfoJsonSource() ? NSLocalizedFormat("%@ hasn't provided a donate link.", {name})
                              : NSLocalizedString("This feature is not supported by this repository"));
}

void PackageDetailsViewController::contactDeveloper() {
  auto contact = text(packageDictionary_, "contact");
  if (!contact) return;
  UIApplication::sharedApplication().openURL(KVMailLink::url(
      contact, NSLocalizedFormat("Quillbark 5: Question regarding %@", {text(packageDictionary_, "name").value_or("")})));
}

bool PackageDetailsViewController::textViewShouldInteractWithURL(const std::string& url) {
  pushBrowser(NSLocalizedFormat("%@'s Link", {outlets_.nameLbl->text()}), url);
  return false;
}

// ---- Other screens

void PackageDetailsViewController::open(std::shared_ptr<UIViewController> screen) {
  lastOpened_ = screen;
  if (auto* nav = navigationController()) nav->pushViewController(std::move(screen), true);
}

void PackageDetailsViewController::pushBrowser(const std::string& title, const std::string& address) {
  open(context_.screens->webPage(address, title, false));
}

void PackageDetailsViewController::seeInstalledFiles() { open(context_.screens->installedFiles(packageIdentifier_)); }

void PackageDetailsViewController::seeAllReviews() {
  open(context_.screens->reviews(packageIdentifier_, text(packageDictionary_, "maintainer").value_or("")));
}

void PackageDetailsViewController::seeAllDevPackages() {
  std::string maintainer = text(packageDictionary_, "maintainer").value_or("");
  open(context_.screens->developerPackages(maintainer, NSLocalizedFormat("%@'s Packages", {maintainer})));
}

void PackageDetailsViewController::leaveReview() {
  if (!KVPackageSnapshot::flag(packageDictionary_, "isInstalled")) return showLeaveReviewWarning();
  auto form = context_.screens->leaveReview(packageIdentifier_, std::weak_ptr<LeaveReviewDelegate>(weakSelf(this)));
  form->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  lastOpened_ = form;
  presentViewController(form, true);
}

void PackageDetailsViewController::dismissVC() { dismissViewControllerAnimated(true); }

void PackageDetailsViewController::showAlert(std::shared_ptr<UIViewController> controller) {
  presentViewController(std::move(controller), true);
}

void PackageDetailsViewController::showCard(const std::string& title, const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->showWithTitle(title, message, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  showAlert(card);
}

// ---- Ratings

void PackageDetailsViewController::setStars(int64_t rating) {
  for (size_t i = 0; i < ratingButtons_.size(); ++i) {
    bool selected = static_cast<int64_t>(i) < rating;
    ratingButtons_[i]->setImage(UIImage::imageNamed(selected ? "starSelected" : "star"));
    ratingButtons_[i]->setSelected(selected);
  }
}

void PackageDetailsViewController::ratingPressed(UIButton* star) {
  if (!KVPackageSnapshot::flag(packageDictionary_, "isInstalled")) return showLeaveReviewWarning();
  auto it = std::find(ratingButtons_.begin(), ratingButtons_.end(), star);
  setRating(it == ratingButtons_.end() ? 1 : (it - ratingButtons_.begin()) + 1);
}

void PackageDetailsViewController::setRating(int64_t rating) {
  setStars(rating);
  performOnBackgroundThread([weak = weakSelf(this), packages = context_.packages, identifier = packageIdentifier_, rating] {
    ErrorRef error = packages->setPackageRating(identifier, rating);
    if (!error) return;
    KVLog("Keeping the rating of %s failed: %s", identifier.c_str(), error->localizedDescription().c_str());
    // The stars said it was kept: they go back to what is, and the card says why.
    performOnMainThread([weak, error] {
      auto self = weak.lock();
      if (!self) return;
      auto kept = KVRPackage::objectForPrimaryKey(self->packageIdentifier_);
      int64_t rating = kept ? kept->myRating().value_or(0) : 0;
      self->setStars(rating);
      self->outlets_.ratingLbl->setText(NSLocalizedFormat("%@ out of 5 rating", {std::to_string(rating)}));
      self->showCard(NSLocalizedString("Rating"),
                     NSLocalizedFormat("Your rating could not be kept: %@", {error->localizedDescription()}));
    });
  });
  outlets_.ratingLbl->setText(NSLocalizedFormat("%@ out of 5 rating", {std::to_string(rating)}));
  // The bare rating: no title and no text. Its answer is not read.
  KVPackageRatings(signedInUsername()).postRatingReview(packageIdentifier_, std::string(), std::string(), rating,
                                                         [](std::optional<std::string>) {});
}

void PackageDetailsViewController::updateRatingInfo() {
  // The record holds the rating a review just posted; the snapshot follows it.
  if (auto record = KVRPackage::objectForPrimaryKey(packageIdentifier_); record && record->myRating())
    packageDictionary_.set("myRating", static_cast<long long>(*record->myRating()));
  int64_t rating = packageDictionary_["myRating"].asInt(0);
  setStars(rating);
  outlets_.ratingLbl->setText(NSLocalizedFormat("%@ out of 5 rating", {std::to_string(rating)}));
  // The average, then, whatever it answered, the reviews.
  auto weak = weakSelf(this);
  KVPackageRatings().getAverageRate(packageIdentifier_, [weak](std::optional<std::string> average) {
    performOnMainThread([weak, average] {
      auto self = weak.lock();
      if (!self) return;
      self->outlets_.packageRatingLbl->setText(average.value_or(""));
      self->fetchReviews([](PackageDetailsViewController& page) { page.setContent(); });
    });
  });
}

void PackageDetailsViewController::ratingChangedNotification(const Notification& notification) {
  if (notification.object.asString() != packageIdentifier_) return;
  auto weak = weakSelf(this);
  KVPackageRatings().getAverageRate(packageIdentifier_, [weak](std::optional<std::string> average) {
    performOnMainThread([weak, average] {
      if (auto self = weak.lock()) self->outlets_.packageRatingLbl->setText(average.value_or(""));
    });
  });
}

void PackageDetailsViewController::showLeaveReviewWarning() {
  showCard(NSLocalizedString("Leave a Review"),
           NSLocalizedFormat("You need to install %@ before being able to leave a review",
                             {text(packageDictionary_, "name").value_or(packageIdentifier_)}));
}

void PackageDetailsViewController::showReviewWarningWithTitle(const std::string& title, const std::string& reviewText,
                                                              int64_t rate) {
  auto alert = UIAlertController::alertControllerWithTitle(
      NSLocalizedString("Package Support"),
      NSLocalizedString("It seems you are having an issue with this package. Would you like to send an email to the "
                        "developer asking for support first ? Reviews should not be used to report issues."),
      UIAlertControllerStyleAlert);
  auto weak = weakSelf(this);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Send email"), UIAlertActionStyleDefault,
                                                  [weak](UIAlertAction&) {
                                                    if (auto self = weak.lock()) self->contactDeveloper();
                                                  }));
  alert->addAction(UIAlertAction::actionWithTitle(
      NSLocalizedString("Leave review"), UIAlertActionStyleDefault,
      [weak, title, reviewText, rate, packages = context_.packages, identifier = packageIdentifier_,
       name = text(packageDictionary_, "name").value_or(packageIdentifier_)](UIAlertAction&) {
        // The rating is kept before the review goes out, so the page reads it back after.
        performOnBackgroundThread([weak, packages, identifier, reviewText, title, rate, name] {
          if (auto error = packages->setPackageRating(identifier, rate))
            KVLog("Keeping the rating of %s failed: %s", identifier.c_str(), error->localizedDescription().c_str());
          KVPackageRatings(signedInUsername())
              .postRatingReview(identifier, reviewText, title, rate, [weak, name](std::optional<std::string> answer) {
                performOnMainThread([weak, name, answer] {
                  if (auto self = weak.lock()) self->updateRatingInfo();
                  auto card = std::make_shared<ErrorViewController>();
                  card->showWithTitle(NSLocalizedFormat("%@ Review", {name}), reviewAnswerMessage(answer.value_or("")),
                                      1, NSLocalizedString("OK"), std::nullopt, std::string());
                  card->presentFromTopPresenter();
                });
              });
        });
      }));
  showAlert(alert);
}
