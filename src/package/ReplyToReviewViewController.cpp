#include "package/ReplyToReviewViewController.h"

#include "account/KVAccount.h"
#include "account/KVPackageRatings.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"

ReplyToReviewViewController::ReplyToReviewViewController(int64_t reviewID, std::weak_ptr<ReplyToReviewDelegate> delegate)
    : ReviewFormViewController("Write your reply here..."), reviewID_(reviewID), delegate_(std::move(delegate)) {}

void ReplyToReviewViewController::loadView() {
  UIViewController::loadView();
  view()->setBackgroundColor(UIColor::colorWithWhite(0, 0.5));
  makeCard("Reply to Review", 0, [](UIView*, double) {}, "Reply", [this] { reply(); });
}

void ReplyToReviewViewController::reply() {
  auto& account = KVAccount::instance();
  KVPackageRatings(account.returnUsername())
      .replyToReviewWithUserID(account.returnUserID(), reviewID_, writtenText(), false, false,
                               [weak = weakSelf(this), delegate = delegate_](std::optional<std::string> answer) {
                                 performOnMainThread([weak, delegate, answer] {
                                   // Told once the form has gone: the review, then the answer.
                                   auto told = [delegate, answer] {
                                     if (auto owner = delegate.lock()) owner->updateReview();
                                     auto card = std::make_shared<ErrorViewController>();
                                     card->showWithTitle(NSLocalizedString("Reply to Review"), answer.value_or(""), 1,
                                                         NSLocalizedString("OK"), std::nullopt, std::string());
                                     card->presentFromTopPresenter();
                                   };
                                   if (auto self = weak.lock()) self->dismissViewControllerAnimated(true, told);
                                   else told();
                                 });
                               });
}
