#pragma once
#include "uikit/UIGeometry.h"

enum UICollectionViewScrollDirection : long {
  UICollectionViewScrollDirectionVertical = 0,
  UICollectionViewScrollDirectionHorizontal = 1,
};

// The figures of a flow layout: items in lines along the scroll direction.
struct UICollectionViewFlowLayout {
  CGSize itemSize{50, 50};
  CGSize estimatedItemSize{0, 0};
  UICollectionViewScrollDirection scrollDirection = UICollectionViewScrollDirectionVertical;
  double minimumLineSpacing = 10;
  double minimumInteritemSpacing = 10;
  UIEdgeInsets sectionInset;
  CGSize headerReferenceSize{0, 0};
  CGSize footerReferenceSize{0, 0};
};
