#pragma once
// One review in full: its title, the reviewer, the stars, the votes, the text and the
// developer's reply. "Reply" lets anyone vote on it, and the package's developer (the
// signed-in user whose name is exactly the package's maintainer text) answer in text.
// A vote shows the service's answer and the review as fetched again.
#include <array>
#include <memory>
#include <string>

#include "account/KVReviews.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "package/ReplyToReviewDelegate.h"

class UIImageView;
class UILabel;
class UIScrollView;

class FullReviewViewController : public KVPalettedViewController, public ReplyToReviewDelegate {
 public:
  FullReviewViewController(KVScreenContext context, KVReviews review, std::string maintainer);

  const KVReviews& review() const { return review_; }
  const std::string& maintainer() const { return maintainer_; }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  void replyToReview();
  void apiCallForUpvote(bool upvote, bool downvote, bool reply);
  void updateReview() override;

  UIScrollView* scrollView() const { return scrollView_; }
  UILabel* titleLbl() const { return titleLbl_; }
  UILabel* nameLbl() const { return nameLbl_; }
  UILabel* voteLbl() const { return voteLbl_; }
  UILabel* commentLbl() const { return commentLbl_; }
  const std::array<UIImageView*, 5>& ratings() const { return stars_; }

 private:
  KVScreenContext context_;
  KVReviews review_;
  std::string maintainer_;
  UIScrollView* scrollView_ = nullptr;
  UILabel* titleLbl_ = nullptr;
  UILabel* nameLbl_ = nullptr;
  UILabel* voteLbl_ = nullptr;
  UILabel* commentLbl_ = nullptr;
  std::array<UIImageView*, 5> stars_{};
};
