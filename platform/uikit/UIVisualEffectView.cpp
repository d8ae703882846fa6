#include "uikit/UIVisualEffectView.h"

UIVisualEffectView::UIVisualEffectView(std::optional<UIBlurEffectStyle> effect) : effect_(effect) {
  contentView_ = std::make_shared<UIView>();
  addSubview(contentView_);
}
