#include "package/FullReviewViewController.h"

#include "account/KVAccount.h"
#include "account/KVPackageRatings.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "package/KVPackageSnapshot.h"
#include "package/KVReviewText.h"
#include "package/ReplyToReviewViewController.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

FullReviewViewController::FullReviewViewController(KVScreenContext context, KVReviews review, std::string maintainer)
    : context_(std::move(context)), review_(std::move(review)), maintainer_(std::move(maintainer)) {}

// The interface file's arrangement: the review's card at the top of a scrolling page.
void FullReviewViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double w = screen.width() - 32;
  auto scroll = std::make_shared<UIScrollView>(screen);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  scrollView_ = scroll.get();
  auto add = [this](std::shared_ptr<UIView> v, CGRect frame) {
    v->setFrame(frame);
    scrollView_->addSubview(v);
  };
  auto title = std::make_shared<UILabel>();
  title->setFont(UIFont::boldSystemFontOfSize(22));
  title->setNumberOfLines(0);
  add(title, CGRect::make(16, 20, w, 28));
  auto name = std::make_shared<UILabel>();
  name->setFont(UIFont::systemFontOfSize(15));
  add(name, CGRect::make(16, 52, w - 120, 20));
  auto votes = std::make_shared<UILabel>();
  votes->setFont(UIFont::systemFontOfSize(15));
  add(votes, CGRect::make(16, 76, w, 20));
  for (size_t i = 0; i < stars_.size(); ++i) {
    auto star = std::make_shared<UIImageView>();
    add(star, CGRect::make(w - 100 + 20.0 * static_cast<double>(i), 54, 16, 16));
    stars_[i] = star.get();
  }
  auto comment = std::make_shared<UILabel>();
  comment->setNumberOfLines(0);
  comment->setFont(UIFont::systemFontOfSize(15));
  add(comment, CGRect::make(16, 108, w, screen.height() - 140));
  titleLbl_ = title.get();
  nameLbl_ = name.get();
  voteLbl_ = votes.get();
  commentLbl_ = comment.get();
}

void FullReviewViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  navigationItem().setTitle(NSLocalizedString("Review"));
  navigationItem().setRightBarButtonItem(UIBarButtonItem::itemWithTitle(
      NSLocalizedString("Reply"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { replyToReview(); }));
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) {
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
  });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void FullReviewViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  titleLbl_->setText(KVPackageSnapshot::capitalized(review_.title.value_or("")));
  nameLbl_->setText(review_.name.value_or(""));
  KVReviewText::setStars(stars_, review_.rating.value_or(0));
  voteLbl_->setAttributedText(KVReviewText::voteLine(review_));
  commentLbl_->setAttributedText(KVReviewText::fullComment(review_, maintainer_));
}

void FullReviewViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  titleLbl_->setTextColor(palette->primaryTextColor());
  commentLbl_->setTextColor(palette->primaryTextColor());
}

void FullReviewViewController::replyToReview() {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Reply to Review"),
                                                           NSLocalizedString("How do you want to reply to this review?"),
                                                           UIAlertControllerStyleAlert);
  auto action = [weak = weakSelf(this)](bool up, bool down, bool reply) {
    return [weak, up, down, reply](UIAlertAction&) {
      if (auto self = weak.lock()) self->apiCallForUpvote(up, down, reply);
    };
  };
  // Only the package's developer answers in text: the signed-in name, exactly.
  if (KVAccount::instance().returnUsername() == maintainer_)
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Reply with text"), UIAlertActionStyleDefault,
                                                    action(false, false, true)));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Upvote"), UIAlertActionStyleDefault,
                                                  action(true, false, false)));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Downvote"), UIAlertActionStyleDefault,
                                                  action(false, true, false)));
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Cancel"), UIAlertActionStyleCancel));
  presentViewController(alert, true);
}

void FullReviewViewController::apiCallForUpvote(bool upvote, bool downvote, bool reply) {
  const int64_t reviewID = KVReviewText::identifier(review_);
  if (reply) {
    auto form = std::make_shared<ReplyToReviewViewController>(reviewID, weakSelf(this));
    form->setModalPresentationStyle(UIModalPresentationOverFullScreen);
    presentViewController(form, true);
    return;
  }
  // The vote, then the review as the service now has it, with the answer shown.
  auto ratings = std::make_shared<KVPackageRatings>();
  ratings->replyToReviewWithUserID(
      KVAccount::instance().returnUserID(), reviewID, std::nullopt, upvote, downvote,
      [weak = weakSelf(this), ratings, reviewID](std::optional<std::string> answer) {
        ratings->getReviewWithID(reviewID, [weak, ratings, answer](std::optional<std::string>) {
          performOnMainThread([weak, ratings, answer] {
            auto self = weak.lock();
            if (!self) return;
            if (auto fetched = ratings->review()) self->review_ = *fetched;
            self->voteLbl_->setAttributedText(KVReviewText::voteLine(self->review_));
            auto card = std::make_shared<ErrorViewController>();
            card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
            card->showWithTitle(NSLocalizedString("Reply to Review"), answer.value_or(""), 1, NSLocalizedString("OK"),
                                std::nullopt, std::string());
            self->presentViewController(card, true);
          });
        });
      });
}

void FullReviewViewController::updateReview() {
  auto ratings = std::make_shared<KVPackageRatings>(KVAccount::instance().returnUsername());
  ratings->getReviewWithID(KVReviewText::identifier(review_), [weak = weakSelf(this), ratings](std::optional<std::string>) {
    performOnMainThread([weak, ratings] {
      auto self = weak.lock();
      if (!self) return;
      if (auto fetched = ratings->review()) self->review_ = *fetched;
      self->commentLbl_->setAttributedText(KVReviewText::fullComment(self->review_, self->maintainer_));
    });
  });
}
