#pragma once
// The form in which a package's developer answers a review in text. Sending it closes
// the form, then tells the review to fetch itself again and shows the service's answer.
// Presented over the full screen by the full review.
#include <cstdint>
#include <memory>

#include "package/ReplyToReviewDelegate.h"
#include "package/ReviewFormViewController.h"

class ReplyToReviewViewController : public ReviewFormViewController {
 public:
  ReplyToReviewViewController(int64_t reviewID, std::weak_ptr<ReplyToReviewDelegate> delegate);

  int64_t reviewID() const { return reviewID_; }
  UILabel* replyTitle() const { return cardTitle(); }
  UITextView* replyTextView() const { return textView(); }
  UIButton* replyBtn() const { return actionBtn(); }

  void loadView() override;
  void reply();

 private:
  int64_t reviewID_ = 0;
  std::weak_ptr<ReplyToReviewDelegate> delegate_;
};
