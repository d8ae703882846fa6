#include "package/KVReviewText.h"

#include <cstdlib>

#include "foundation/LocalizedStrings.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"

namespace {
NSTextAttributes coloured(const UIColor& color) {
  NSTextAttributes attributes;
  attributes.foregroundColor = color;
  return attributes;
}

NSTextAttributes inFont(const UIFont& font) {
  NSTextAttributes attributes;
  attributes.font = font;
  return attributes;
}

std::shared_ptr<UIImage> star(size_t index, int64_t rating) {
  return UIImage::imageNamed(static_cast<int64_t>(index) < rating ? "starSelected" : "star");
}
}  // namespace

namespace KVReviewText {

NSAttributedString voteLine(const KVReviews& review) {
  NSAttributedString line;
  line.append("+" + review.upvotes.value_or("0") + " ", coloured(UIColor::colorWithRed(1, 0, 0, 1)));
  line.append("-" + review.downvotes.value_or("0"), coloured(UIColor::colorWithRed(0.46, 0.53, 1.0, 1)));
  return line;
}

NSAttributedString cardComment(const KVReviews& review, const std::string& maintainer) {
  NSAttributedString text;
  if (review.reply)
    text.append(NSLocalizedFormat("Developer \"%@\" replied\n\n", {maintainer}), inFont(UIFont::italicSystemFontOfSize(15)));
  text.append(review.desc.value_or(""), inFont(UIFont::systemFontOfSize(15)));
  return text;
}

NSAttributedString fullComment(const KVReviews& review, const std::string& maintainer) {
  NSAttributedString text;
  text.append(review.desc.value_or(""), inFont(UIFont::systemFontOfSize(15)));
  if (review.reply)
    text.append(NSLocalizedFormat("\n\nDeveloper \"%@\" reply:\n%@", {maintainer, *review.reply}),
                inFont(UIFont::italicSystemFontOfSize(15)));
  return text;
}

void setStars(const std::array<UIImageView*, 5>& stars, int64_t rating) {
  for (size_t i = 0; i < stars.size(); ++i)
    if (stars[i]) stars[i]->setImage(star(i, rating));
}

void setStars(const std::array<UIButton*, 5>& stars, int64_t rating) {
  for (size_t i = 0; i < stars.size(); ++i) {
    if (!stars[i]) continue;
    stars[i]->setImage(star(i, rating));
    stars[i]->setSelected(static_cast<int64_t>(i) < rating);
  }
}

int64_t identifier(const KVReviews& review) {
  return review.reviewID ? std::strtoll(review.reviewID->c_str(), nullptr, 10) : 0;
}

std::string answerMessage(const std::string& answer) {
  if (answer == "Success") return NSLocalizedString("Review has been successfully posted");
  if (answer == "Successfully updated") return NSLocalizedString("Review has been successfully updated");
  if (answer == "Failed") return NSLocalizedString("There was an error while posting the review");
  return answer;
}

}  // namespace KVReviewText
