#pragma once
#include <memory>
#include <string>

#include "uikit/UIView.h"

class UICollectionViewCell : public UIView {
 public:
  explicit UICollectionViewCell(CGRect frame = CGRect::make(0, 0, 50, 50));
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
  UIView* contentView() const { return contentView_.get(); }
  bool isSelected() const { return selected_; }
  virtual void setSelected(bool selected) { selected_ = selected; }
  bool isHighlighted() const { return highlighted_; }
  virtual void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
  virtual void prepareForReuse() {}
  // The texts of the visible labels and controls, joined with " · ".
  virtual std::string screenItemText() const;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 private:
  std::string reuseIdentifier_;
  std::shared_ptr<UIView> contentView_;
  bool selected_ = false, highlighted_ = false;
};
