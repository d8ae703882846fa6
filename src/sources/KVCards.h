#pragma once
// The cards the manage, changes and search tabs group their tables in: a title row and a
// table sized to its rows that never scrolls itself (the page scrolls). Their rounded
// look and shadow are the browse screens' (KVCardLook).
#include <memory>
#include <string>

class NSLayoutConstraint;
class UIButton;
class UILabel;
class UITableView;
class UIView;

namespace KVCards {
inline constexpr double kMargin = 16;
inline constexpr double kTitleHeight = 52;  // a card's title row, above its table
inline constexpr double kCardGap = 24;

// A card in `page`: its view, title label, table and the table's height constraint.
void makeCard(UIView& page, const std::string& title, std::shared_ptr<UIView>& card, std::shared_ptr<UILabel>& titleLabel,
              std::shared_ptr<UITableView>& table, std::shared_ptr<NSLayoutConstraint>& height);
// A button at the trailing end of the card's title row.
std::shared_ptr<UIButton> makeTitleButton(UIView& card, const std::string& title);
// Lays the card out at `top` across a page `pageWidth` wide, its table as high as its
// constraint; answers where the next card may start.
double place(UIView& card, UILabel& title, UITableView& table, const NSLayoutConstraint& height, double top,
             double pageWidth);
}  // namespace KVCards
