#include "sources/KVCards.h"

#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UITableView.h"
#include "uikit/UIView.h"

void KVCards::makeCard(UIView& page, const std::string& title, std::shared_ptr<UIView>& card,
                       std::shared_ptr<UILabel>& titleLabel, std::shared_ptr<UITableView>& table,
                       std::shared_ptr<NSLayoutConstraint>& height) {
  card = std::make_shared<UIView>();
  titleLabel = std::make_shared<UILabel>();
  titleLabel->setFont(UIFont::boldSystemFontOfSize(22));
  titleLabel->setText(title);
  table = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  table->setScrollEnabled(false);
  height = NSLayoutConstraint::constraintWithItem({table.get(), nullptr}, NSLayoutAttributeHeight, NSLayoutRelationEqual,
                                                  {}, NSLayoutAttributeNotAnAttribute, 1, 0);
  card->addSubview(titleLabel);
  card->addSubview(table);
  page.addSubview(card);
}

std::shared_ptr<UIButton> KVCards::makeTitleButton(UIView& card, const std::string& title) {
  auto button = UIButton::buttonWithType(UIButtonTypeSystem);
  button->setTitle(title);
  card.addSubview(button);
  return button;
}

double KVCards::place(UIView& card, UILabel& title, UITableView& table, const NSLayoutConstraint& height, double top,
                      double pageWidth) {
  const double width = pageWidth - 2 * kMargin;
  const double cardHeight = kTitleHeight + height.constant() + (height.constant() > 0 ? 8 : 0);
  card.setFrame(CGRect::make(kMargin, top, width, cardHeight));
  title.setFrame(CGRect::make(kMargin, 14, width - 120, 28));
  table.setFrame(CGRect::make(0, kTitleHeight, width, height.constant()));
  // A title button sits at the row's trailing end.
  for (const auto& view : card.subviews())
    if (auto* button = dynamic_cast<UIButton*>(view.get())) button->setFrame(CGRect::make(width - 110, 14, 94, 28));
  return top + cardHeight + kCardGap;
}
