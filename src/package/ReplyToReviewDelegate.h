#pragma once
// What the reply form tells the full review that opened it, after it has dismissed itself.
class ReplyToReviewDelegate {
 public:
  virtual ~ReplyToReviewDelegate() = default;
  // A reply was sent: fetch the review again.
  virtual void updateReview() = 0;
};
