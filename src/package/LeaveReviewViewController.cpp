#include "package/LeaveReviewViewController.h"

#include "account/KVAccount.h"
#include "account/KVPackageRatings.h"
#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "package/KVReviewText.h"
#include "store/TextFolding.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIVisualEffectView.h"

LeaveReviewViewController::LeaveReviewViewController(KVScreenContext context, std::string packageIdentifier,
                                                     std::weak_ptr<LeaveReviewDelegate> delegate)
    : ReviewFormViewController("Write your review here..."),
      context_(std::move(context)),
      packageIdentifier_(std::move(packageIdentifier)),
      delegate_(std::move(delegate)) {}

bool LeaveReviewViewController::mentionsProblem(const std::string& text) {
  const std::string folded = store::text::lowercase(text);
  for (const char* word : {"bug", "crash", "fails", "issue"})
    if (folded.find(word) != std::string::npos) return true;
  return false;
}

void LeaveReviewViewController::loadView() {
  UIViewController::loadView();
  auto blur = std::make_shared<UIVisualEffectView>(UIBlurEffectStyleDark);
  blur->setFrame(UIScreen::mainScreen().bounds());
  view()->addSubview(blur);
  blurredBackground_ = blur.get();
  makeCard("Leave a Review", 32 + 12 + 40 + 12, [this](UIView* card, double y) {
    const double inner = card->frame().width() - 32;
    auto stars = std::make_shared<UIView>(CGRect::make(16, y, inner, 32));
    card->addSubview(stars);
    ratingContainer_ = stars.get();
    for (size_t i = 0; i < stars_.size(); ++i) {
      auto star = UIButton::buttonWithType(UIButtonTypeCustom);
      star->setFrame(CGRect::make(40.0 * static_cast<double>(i), 0, 32, 32));
      star->setAccessibilityLabel("Star " + std::to_string(i + 1));
      star->addTarget(this, [this, i](UIControl&) { setRating(static_cast<int64_t>(i) + 1); },
                      UIControlEventTouchUpInside);
      stars->addSubview(star);
      stars_[i] = star.get();
    }
    auto field = std::make_shared<UITextField>();
    field->setFrame(CGRect::make(16, y + 44, inner, 40));
    field->setTextColor(UIColor::whiteColor());
    field->setKeyboardAppearance(UIKeyboardAppearanceDark);
    field->setReturnKeyType(UIReturnKeyDone);
    card->addSubview(field);
    titleField_ = field.get();
  }, "Review", [this] { review(); });
}

void LeaveReviewViewController::viewDidLoad() {
  ReviewFormViewController::viewDidLoad();
  auto package = KVRPackage::objectForPrimaryKey(packageIdentifier_);
  packageName_ = package ? package->name().value_or(packageIdentifier_) : packageIdentifier_;
  titleField_->setDelegate(this);
}

void LeaveReviewViewController::viewWillAppear(bool animated) {
  ReviewFormViewController::viewWillAppear(animated);
  KVReviewText::setStars(stars_, 0);
  NSTextAttributes grey;
  grey.foregroundColor = UIColor::lightGrayColor();
  titleField_->setPlaceholder(NSLocalizedString("Title"));
  titleField_->setAttributedPlaceholder(NSAttributedString(NSLocalizedString("Title"), grey));
}

bool LeaveReviewViewController::textFieldShouldReturn(UITextField& field) {
  field.resignFirstResponder();
  return true;
}

void LeaveReviewViewController::setRating(int64_t rating) {
  KVReviewText::setStars(stars_, rating);
  rate_ = rating;
}

void LeaveReviewViewController::review() {
  const std::string title = titleField_->text(), text = writtenText();
  const int64_t rate = rate_.value_or(0);
  auto delegate = delegate_;
  if (mentionsProblem(title) || mentionsProblem(text)) {
    // Not sent: the package page offers the developer's address first.
    dismissViewControllerAnimated(true, [delegate, title, text, rate] {
      if (auto page = delegate.lock()) page->showReviewWarningWithTitle(title, text, rate);
    });
    return;
  }
  // The user's own rating is kept before the review goes out, so the page reads it back.
  ErrorRef kept = rate_ ? context_.packages->setPackageRating(packageIdentifier_, rate)
                        : context_.packages->clearPackageRating(packageIdentifier_);
  if (kept) KVLog("Keeping the rating of %s failed: %s", packageIdentifier_.c_str(), kept->localizedDescription().c_str());
  KVPackageRatings(KVAccount::instance().returnUsername())
      .postRatingReview(packageIdentifier_, text, title, rate,
                        [weak = weakSelf(this), delegate, name = packageName_](std::optional<std::string> answer) {
                          performOnMainThread([weak, delegate, name, answer] {
                            auto told = [delegate, name, answer] {
                              if (auto page = delegate.lock()) page->updateRatingInfo();
                              auto card = std::make_shared<ErrorViewController>();
                              card->showWithTitle(NSLocalizedFormat("%@ Review", {name}),
                                                  KVReviewText::answerMessage(answer.value_or("")), 1,
                                                  NSLocalizedString("OK"), std::nullopt, std::string());
                              card->presentFromTopPresenter();
                            };
                            if (auto self = weak.lock()) self->dismissViewControllerAnimated(true, told);
                            else told();
                          });
                        });
}
