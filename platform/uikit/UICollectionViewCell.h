#pragma once
#include <memory>
#include <string>

#include "uikit/UICollectionReusableView.h"

class UICollectionViewCell : public UICollectionReusableView {
 public:
  explicit UICollectionViewCell(CGRect frame = CGRect::make(0, 0, 50, 50));
  UIView* contentView() const { return contentView_.get(); }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
  std::string screenItemText() const override;

 private:
  std::shared_ptr<UIView> contentView_;
  bool selected_ = false, highlighted_ = false;
};
