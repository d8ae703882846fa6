#include "package/AllReviewsCell.h"

#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

// The interface file's arrangement: a card 159 points high in a 175-point row.
AllReviewsCell::AllReviewsCell(const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto card = std::make_shared<UIView>(CGRect::make(16, 8, 343, 159));
  contentView()->addSubview(card);
  card_ = card.get();
  auto add = [this](std::shared_ptr<UIView> view, CGRect frame) {
    view->setFrame(frame);
    card_->addSubview(view);
  };
  auto title = std::make_shared<UILabel>();
  title->setFont(UIFont::boldSystemFontOfSize(17));
  add(title, CGRect::make(16, 14, 200, 22));
  auto votes = std::make_shared<UILabel>();
  votes->setFont(UIFont::systemFontOfSize(13));
  votes->setTextAlignment(NSTextAlignmentRight);
  add(votes, CGRect::make(223, 14, 104, 20));
  auto name = std::make_shared<UILabel>();
  name->setFont(UIFont::systemFontOfSize(13));
  add(name, CGRect::make(16, 38, 200, 18));
  for (size_t i = 0; i < stars_.size(); ++i) {
    auto star = std::make_shared<UIImageView>();
    add(star, CGRect::make(227 + 20.0 * static_cast<double>(i), 38, 16, 16));
    stars_[i] = star.get();
  }
  auto comment = std::make_shared<UILabel>();
  comment->setNumberOfLines(0);
  comment->setFont(UIFont::systemFontOfSize(15));
  add(comment, CGRect::make(16, 64, 311, 84));
  titleLbl_ = title.get();
  nameLbl_ = name.get();
  voteLbl_ = votes.get();
  commentLbl_ = comment.get();
}

void AllReviewsCell::registerInterfaceFile() {
  UINib::registerView("AllReviewsCell", [] { return std::make_shared<AllReviewsCell>("cell"); });
}
