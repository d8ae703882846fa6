#pragma once
// The form in which the user reviews an installed package: one to five stars, a title
// and a text. A review whose title or text speaks of a problem ("bug", "crash", "fails",
// "issue", in any case, within any word) is not sent: the form closes and hands it to
// the package page, which offers to write to the developer first. Otherwise the user's
// own rating is kept on the package and the review sent; the form closes and shows the
// service's answer. Presented over the full screen by the package page through
// KVScreens::leaveReview.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "interface/KVScreenContext.h"
#include "package/LeaveReviewDelegate.h"
#include "package/ReviewFormViewController.h"
#include "uikit/UITextField.h"

class UIVisualEffectView;

class LeaveReviewViewController : public ReviewFormViewController, public UITextFieldDelegate {
 public:
  LeaveReviewViewController(KVScreenContext context, std::string packageIdentifier,
                            std::weak_ptr<LeaveReviewDelegate> delegate);

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  // The stars chosen, none before the first.
  std::optional<int64_t> rate() const { return rate_; }
  // Whether the text speaks of a problem with the package.
  static bool mentionsProblem(const std::string& text);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

  void setRating(int64_t rating);
  void review();
  bool textFieldShouldReturn(UITextField& field) override;

  UIVisualEffectView* blurredBackground() const { return blurredBackground_; }
  UIView* ratingContainer() const { return ratingContainer_; }
  const std::array<UIButton*, 5>& ratingButtons() const { return stars_; }
  UITextField* reviewTitleTextField() const { return titleField_; }
  UITextView* reviewTextView() const { return textView(); }
  UIButton* reviewBtn() const { return actionBtn(); }

 private:
  KVScreenContext context_;
  std::string packageIdentifier_;
  std::weak_ptr<LeaveReviewDelegate> delegate_;
  std::string packageName_;
  std::optional<int64_t> rate_;
  UIVisualEffectView* blurredBackground_ = nullptr;
  UIView* ratingContainer_ = nullptr;
  std::array<UIButton*, 5> stars_{};
  UITextField* titleField_ = nullptr;
};
