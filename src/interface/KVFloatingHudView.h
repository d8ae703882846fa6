#pragma once
// The small rounded card that floats above the tab bar. In queue mode it shows how many
// packages are queued (hidden when none); in tasks mode how many refresh tasks still run,
// with a progress bar, and at the end of the run "Refresh Complete" (and, under it, why
// sources failed, when some did). A tap asks its delegate for the queue confirmation or
// for the task screens.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "uikit/UIView.h"

class NSLayoutAnchor;
class NSLayoutConstraint;
class UIButton;
class UILabel;
class UIProgressView;
class UIStackView;

class HudPresenting {
 public:
  virtual ~HudPresenting() = default;
  virtual void presentQueue() = 0;
  virtual void presentTasks() = 0;
};

class KVFloatingHudView : public UIView {
 public:
  enum PresentationType : uint32_t { Queue = 0, Tasks = 1 };

  KVFloatingHudView();
  explicit KVFloatingHudView(HudPresenting* delegate);

  // Adds the card to the view, 20 points in from the safe area's sides, 65 high (83 with
  // a third line), its bottom 10 points above the anchor.
  void anchorToView(UIView& view, const NSLayoutAnchor& bottomAnchor);
  void updatePalette();
  // Texts, visibility and progress for the count, by mode (main thread).
  void setItemCount(uint32_t count);
  void setPrimaryText(const std::string& text);
  void setSecondaryText(const std::string& text);
  // A third line under the others, the card growing to hold it; none when empty.
  void setDetailText(const std::string& text);
  void presentView();
  void setScale(double scale);

  UILabel* primaryLabel() const { return primary_.get(); }
  UILabel* secondaryLabel() const { return secondary_.get(); }
  UILabel* detailLabel() const { return detail_.get(); }
  UIProgressView* progressView() const { return progress_.get(); }
  uint32_t progressTotal() const { return progressTotal_; }
  void setProgressTotal(uint32_t total) { progressTotal_ = total; }
  uint32_t presentationType() const { return presentationType_; }
  void setPresentationType(uint32_t type) { presentationType_ = type; }
  HudPresenting* delegate() const { return delegate_; }
  void setDelegate(HudPresenting* delegate) { delegate_ = delegate; }

  void touchesBegan(const UITouchSet& touches) override;
  void touchesEnded(const UITouchSet& touches) override;
  void touchesCancelled(const UITouchSet& touches) override;
  // The card is tapped anywhere: by either of its lines.
  std::vector<UIViewTapTarget> tapTargets() override;

 private:
  void build();
  long detailLines(const std::string& text) const;
  static constexpr double kHeight = 65;
  static constexpr double kDetailHeight = 18;  // a line of the reasons
  static constexpr long kDetailLines = 2;

  std::shared_ptr<UILabel> primary_;
  std::shared_ptr<UILabel> secondary_;
  std::shared_ptr<UILabel> detail_;
  std::shared_ptr<NSLayoutConstraint> height_;
  std::shared_ptr<UIProgressView> progress_;
  uint32_t progressTotal_ = 0;
  uint32_t presentationType_ = Queue;
  HudPresenting* delegate_ = nullptr;
};
