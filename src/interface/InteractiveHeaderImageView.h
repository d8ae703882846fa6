#pragma once
// The collapsing header: an image behind a scroll view's content that stretches when
// the content is pulled down and slides away under the top bar when it scrolls up, with
// a title and subtitle that may fade and grow. It follows the content offset of its
// scroll view, which it does not keep alive.
#include <memory>

#include "foundation/NotificationToken.h"
#include "uikit/UIImageView.h"

class NSLayoutConstraint;
class UILabel;
class UIScrollView;
class UIStackView;

class InteractiveHeaderImageView : public UIImageView {
 public:
  static constexpr double kTitleSize = 28;
  static constexpr double kSubtitleSize = 17;
  static constexpr double kMaximumFontScale = 1.75;

  // Builds the header; call setUp once it is held by a shared pointer.
  static std::shared_ptr<InteractiveHeaderImageView> initWithFrame(CGRect frame);
  ~InteractiveHeaderImageView() override;

  // Stops following the previous scroll view and follows this one (none: no longer any).
  void setScrollView(const std::shared_ptr<UIScrollView>& scrollView);
  std::shared_ptr<UIScrollView> scrollView() const { return scrollView_.lock(); }
  void removeFromSuperview() override;
  void layoutSubviews() override;

  double defaultHeight() const { return defaultHeight_; }
  void setDefaultHeight(double height) { defaultHeight_ = height; }
  double revealProgress() const { return revealProgress_; }
  double extendedRevealProgress() const { return extendedRevealProgress_; }
  double labelOffset() const { return labelOffset_; }
  void setLabelOffset(double offset);
  bool useAlphaFade() const { return useAlphaFade_; }
  void setUseAlphaFade(bool value) { useAlphaFade_ = value; }
  bool useFontScaling() const { return useFontScaling_; }
  void setUseFontScaling(bool value) { useFontScaling_ = value; }
  const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
  const std::shared_ptr<UILabel>& subtitleLabel() const { return subtitleLabel_; }
  const std::shared_ptr<UIStackView>& labelStack() const { return labelStack_; }
  const std::shared_ptr<NSLayoutConstraint>& labelCenter() const { return labelCenter_; }

 private:
  InteractiveHeaderImageView() = default;
  void build(CGRect frame);

  std::shared_ptr<UIStackView> labelStack_;
  std::shared_ptr<NSLayoutConstraint> labelCenter_;
  bool useAlphaFade_ = false;
  bool useFontScaling_ = false;
  double defaultHeight_ = 0;
  std::weak_ptr<UIScrollView> scrollView_;
  NotificationToken offsetObservation_;
  double revealProgress_ = 1;
  double extendedRevealProgress_ = 1;
  double labelOffset_ = 0;
  std::shared_ptr<UILabel> titleLabel_;
  std::shared_ptr<UILabel> subtitleLabel_;
};
