#include "package/KVReviewText.h"

#include <cstdlib>

#include "foundation/LocalizedStrings.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"

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

CardLabels addCardLabels(UIView& card, double commentHeight, const std::function<void()>& addStars) {
  auto add = [&card](std::shared_ptr<UILabel> label, CGRect frame) {
    label->setFrame(frame);
    card.addSubview(label);
    return label.get();
  };
  auto title = std::make_shared<UILabel>();
  title->setFont(UIFont::boldSystemFontOfSize(17));
  auto votes = std::make_shared<UILabel>();
  votes->setFont(UIFont::systemFontOfSize(13));
  votes->setTextAlignment(NSTextAlignmentRight);
  auto name = std::make_shared<UILabel>();
  name->setFont(UIFont::systemFontOfSize(13));
  auto comment = std::make_shared<UILabel>();
  comment->setNumberOfLines(0);
  comment->setFont(UIFont::systemFontOfSize(15));
  CardLabels labels{};
  labels.title = add(title, CGRect::make(16, 14, 200, 22));
  labels.votes = add(votes, CGRect::make(223, 14, 104, 20));
  labels.name = add(name, CGRect::make(16, 38, 200, 18));
  addStars();
  labels.comment = add(comment, CGRect::make(16, 64, 311, commentHeight));
  return labels;
}

CGRect starFrame(size_t index) { return CGRect::make(227 + 20.0 * static_cast<double>(index), 38, 16, 16); }

}  // namespace KVReviewText
