#include "account/KVPackageRatings.h"

#include <mutex>

#include "account/KVVendorService.h"

using namespace KVVendorService;
using Body = KVServiceCall::Acceptance::Body;

struct KVPackageRatings::Results {
  std::mutex mutex;
  std::optional<std::vector<KVReviews>> packageReviews;
  std::optional<KVReviews> review;
};

KVPackageRatings::KVPackageRatings() : KVPackageRatings(std::nullopt) {}

KVPackageRatings::KVPackageRatings(std::optional<std::string> username)
    : username_(std::move(username)), results_(std::make_shared<Results>()) {}

std::optional<std::vector<KVReviews>> KVPackageRatings::packageReviews() const {
  std::lock_guard<std::mutex> lock(results_->mutex);
  return results_->packageReviews;
}

std::optional<KVReviews> KVPackageRatings::review() const {
  std::lock_guard<std::mutex> lock(results_->mutex);
  return results_->review;
}

void KVPackageRatings::postRatingReview(const std::string& identifier, const std::optional<std::string>& reviewText,
                                        const std::optional<std::string>& reviewTitle, int64_t rating,
                                        Completion completion) {
  Fields query{{"packageID", identifier}, {"username", username_.value_or("")}, {"rate", std::to_string(rating)}};
  if (!(reviewText && reviewText->empty() && reviewTitle && reviewTitle->empty())) {
    query.emplace_back("title", reviewTitle.value_or(""));
    query.emplace_back("description", reviewText.value_or(""));
  }
  get("ratings/rate.php", query, Blank::Percent20, KVServiceCall::Acceptance{},
      [completion](Expected<KVServiceReply> reply) {
        if (completion) completion(reply ? reply->text() : reply.error()->localizedDescription());
      });
}

void KVPackageRatings::getAverageRate(const std::string& identifier, Completion completion) {
  get("ratings/rating.php", {{"packageID", identifier}}, Blank::Percent20, json(Body::JSONObject),
      [completion](Expected<KVServiceReply> reply) {
        if (!completion) return;
        const Value* rating = reply ? &reply->json()["rating"] : nullptr;
        completion(rating && (rating->isInteger() || rating->isReal()) ? std::optional(rating->asString())
                                                                         : std::nullopt);
      });
}

void KVPackageRatings::getReviews(const std::string& identifier, Completion completion) {
  get("ratings/reviews.php", {{"packageID", identifier}}, Blank::Percent20, json(Body::JSONArray),
      [results = results_, completion](Expected<KVServiceReply> reply) {
        if (reply) {
          std::vector<KVReviews> reviews;
          for (const Value& element : *reply->json().arrayPtr())
            if (element.isDictionary()) reviews.push_back(KVReviews::reviewWithJSON(element));
          std::lock_guard<std::mutex> lock(results->mutex);
          results->packageReviews = std::move(reviews);
        }
        if (completion) completion(reply ? std::optional<std::string>("Success") : std::nullopt);
      });
}

void KVPackageRatings::getReviewWithID(int64_t reviewID, Completion completion) {
  get("ratings/reviews.php", {{"review_id", std::to_string(reviewID)}}, Blank::Percent20, json(Body::JSONObject),
      [results = results_, completion](Expected<KVServiceReply> reply) {
        if (reply) {
          std::lock_guard<std::mutex> lock(results->mutex);
          results->review = KVReviews::reviewWithJSON(reply->json());
        }
        if (completion) completion(reply ? std::optional<std::string>("Success") : std::nullopt);
      });
}

void KVPackageRatings::replyToReviewWithUserID(int64_t userID, int64_t reviewID,
                                               const std::optional<std::string>& reply, bool upvote, bool downvote,
                                               Completion completion) {
  Fields form;
  std::string id = std::to_string(userID), review = std::to_string(reviewID);
  if (reply) form = {{"id", id}, {"reply", *reply}, {"review_id", review}};
  else if (upvote) form = {{"id", id}, {"upvote", "1"}, {"review_id", review}};
  else if (downvote) form = {{"id", id}, {"downvote", "1"}, {"review_id", review}};
  post("ratings/reply.php", form, KVServiceCall::Acceptance{}, [completion](Expected<KVServiceReply> answer) {
    if (completion) completion(answer ? std::optional(answer->text()) : std::nullopt);
  });
}
