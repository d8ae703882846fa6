#pragma once
// What the two review forms (the reply to a review and the review of a package) share:
// a card in the dark style holding a rounded text view with its placeholder and two
// rounded buttons, texts of at most 1000 characters (UTF-16 units, as the device
// counts), a tap anywhere ending the edit, a right swipe closing the form, and a card
// that rises above the keyboard when the keyboard would cover it.
#include <cstddef>
#include <memory>
#include <string>

#include "foundation/NotificationCenter.h"
#include "foundation/NotificationToken.h"
#include "uikit/UITextView.h"
#include "uikit/UIViewController.h"

class UIButton;
class UILabel;

class ReviewFormViewController : public UIViewController, public UITextViewDelegate {
 public:
  static constexpr size_t kMaximumLength = 1000;

  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  UIStatusBarStyle preferredStatusBarStyle() const override { return UIStatusBarStyleLightContent; }

  // The placeholder goes when editing begins and comes back when it ends empty.
  void textViewDidBeginEditing(UITextView& view) override;
  void textViewDidEndEditing(UITextView& view) override;
  // An edit is taken only when the text it leaves is at most kMaximumLength long.
  bool textViewShouldChangeTextInRange(UITextView& view, NSRange range, const std::string& replacement) override;
  static bool acceptsEdit(const std::string& text, NSRange range, const std::string& replacement);

  void keyboardWillShow(const Notification& notification);
  void keyboardWillHide(const Notification& notification);
  void cancel();

  UIView* containerView() const { return containerView_; }
  UITextView* textView() const { return textView_; }
  UIButton* cancelBtn() const { return cancelBtn_; }
  // The form's own action button ("Reply", "Review").
  UIButton* actionBtn() const { return actionBtn_; }

 protected:
  explicit ReviewFormViewController(std::string placeholder);
  // The text written, none while the placeholder shows.
  std::string writtenText() const;
  // Lays out the card, centred in the view: its title, then `rows` points for what the
  // form adds (made by the caller at the y it is given), then the text view and the
  // two buttons, the second titled `actionTitle` and running `action`.
  UIView* makeCard(const std::string& title, double rows, const std::function<void(UIView* card, double y)>& addRows,
                   const std::string& actionTitle, std::function<void()> action);
  UILabel* cardTitle() const { return cardTitle_; }

 private:
  void styleButton(UIButton& button);
  std::string placeholder_;
  UIView* containerView_ = nullptr;
  UILabel* cardTitle_ = nullptr;
  UITextView* textView_ = nullptr;
  UIButton* cancelBtn_ = nullptr;
  UIButton* actionBtn_ = nullptr;
  NotificationToken keyboardShow_, keyboardHide_;
};
