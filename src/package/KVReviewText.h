#pragma once
// How a review reads on the package page's card, the list of all reviews and the full
// review: its vote line, its text with the developer's reply, its stars, and what the
// rating service's answer to a posted review means to a person.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "account/KVReviews.h"
#include "uikit/UIGeometry.h"
#include "uikit/NSAttributedString.h"

class UIButton;
class UIImageView;
class UILabel;
class UIView;

namespace KVReviewText {
// "+UP " in red, then "-DOWN" in a light blue.
NSAttributedString voteLine(const KVReviews& review);
// A card's text: `Developer "MAINTAINER" replied` (italic) above the review's text when
// the developer replied, else the text alone.
NSAttributedString cardComment(const KVReviews& review, const std::string& maintainer);
// The full review: its text, then the developer's reply (italic) when there is one.
NSAttributedString fullComment(const KVReviews& review, const std::string& maintainer);
// The first `rating` stars selected, the others empty.
void setStars(const std::array<UIImageView*, 5>& stars, int64_t rating);
void setStars(const std::array<UIButton*, 5>& stars, int64_t rating);
// The labels every review card lays out alike, added to `card`: the title and the votes on
// the first line, the reviewer's name under them, the comment `commentHeight` high below
// the stars, which the cards make differently: `addStars` adds them (at `starFrame`)
// between the name and the comment, in the order the card's views have always had.
struct CardLabels {
  UILabel* title;
  UILabel* votes;
  UILabel* name;
  UILabel* comment;
};
CardLabels addCardLabels(UIView& card, double commentHeight, const std::function<void()>& addStars);
CGRect starFrame(size_t index);
// The review's identifier as the service numbers it; 0 when it has none.
int64_t identifier(const KVReviews& review);
// The message for the service's answer to a posted review.
std::string answerMessage(const std::string& answer);
}  // namespace KVReviewText
