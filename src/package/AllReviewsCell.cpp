#include "package/AllReviewsCell.h"

#include "package/KVReviewText.h"

#include "uikit/UIImageView.h"
#include "uikit/UINib.h"

// The interface file's arrangement: a card 159 points high in a 175-point row.
AllReviewsCell::AllReviewsCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto card = std::make_shared<UIView>(CGRect::make(16, 8, 343, 159));
  contentView()->addSubview(card);
  card_ = card.get();
  auto labels = KVReviewText::addCardLabels(*card_, 84, [this] {
    for (size_t i = 0; i < stars_.size(); ++i) {
      auto star = std::make_shared<UIImageView>();
      star->setFrame(KVReviewText::starFrame(i));
      card_->addSubview(star);
      stars_[i] = star.get();
    }
  });
  titleLbl_ = labels.title;
  nameLbl_ = labels.name;
  voteLbl_ = labels.votes;
  commentLbl_ = labels.comment;
}

void AllReviewsCell::registerInterfaceFile() {
  UINib::registerView("AllReviewsCell", [] { return std::make_shared<AllReviewsCell>("cell"); });
}
