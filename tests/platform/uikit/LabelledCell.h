#pragma once
// A collection cell that shows one label: what the collection tests fill their items with.
#include <memory>

#include "uikit/UICollectionViewCell.h"
#include "uikit/UILabel.h"

class LabelledCell : public UICollectionViewCell {
 public:
  LabelledCell() {
    label = std::make_shared<UILabel>();
    contentView()->addSubview(label);
  }
  std::shared_ptr<UILabel> label;
};
