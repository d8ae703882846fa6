#include "account/KVReviews.h"

#include "account/KVVendorService.h"

KVReviews KVReviews::reviewWithJSON(const Value& object) {
  using KVVendorService::textMember;
  KVReviews review;
  review.reviewID = textMember(object, "id");
  review.rating = KVVendorService::integerMember(object, "rate");
  review.title = textMember(object, "title");
  review.desc = textMember(object, "review");
  review.name = textMember(object, "username");
  review.date = textMember(object, "date");
  review.reply = textMember(object, "reply");
  review.upvotes = textMember(object, "upvotes");
  review.downvotes = textMember(object, "downvotes");
  return review;
}
