#include "package/ReviewsCell.h"

#include "package/KVReviewText.h"

#include <string>

#include "uikit/UIButton.h"
#include "uikit/UINib.h"

// The interface file's arrangement of a card 155 points high.
ReviewsCell::ReviewsCell() : UICollectionViewCell(CGRect::make(0, 0, 343, 155)) {
  auto labels = KVReviewText::addCardLabels(*contentView(), 80, [this] {
    for (size_t i = 0; i < stars_.size(); ++i) {
      auto star = UIButton::buttonWithType(UIButtonTypeCustom);
      star->setAccessibilityLabel("Star " + std::to_string(i + 1));
      star->setUserInteractionEnabled(false);
      star->setFrame(KVReviewText::starFrame(i));
      contentView()->addSubview(star);
      stars_[i] = star.get();
    }
  });
  titleLbl_ = labels.title;
  nameLbl_ = labels.name;
  voteLbl_ = labels.votes;
  commentLbl_ = labels.comment;
}

void ReviewsCell::registerInterfaceFile() {
  UINib::registerView("ReviewsCell", [] { return std::make_shared<ReviewsCell>(); });
}
