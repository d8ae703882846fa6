#include "uikit/UICollectionViewCell.h"

UICollectionViewCell::UICollectionViewCell(CGRect frame) : UICollectionReusableView(frame) {
  contentView_ = std::make_shared<UIView>(CGRect{{0, 0}, frame.size});
  addSubview(contentView_);
}

std::string UICollectionViewCell::screenItemText() const {
  std::string out;
  collectText(contentView_.get(), out);
  return out;
}
