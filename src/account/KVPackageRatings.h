#pragma once
// The vendor service's ratings of packages: a star rating with an optional review, a
// package's average, its reviews or one review, and replies and votes on a review. One
// object serves one screen. Its results live as long as a request still in flight needs
// them, so dropping the object while a reply is on its way is safe; they are read as
// copies from any thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "account/KVReviews.h"

class KVPackageRatings {
 public:
  using Completion = std::function<void(std::optional<std::string> status)>;

  KVPackageRatings();
  // The user name sent with ratings.
  explicit KVPackageRatings(std::optional<std::string> username);

  const std::optional<std::string>& username() const { return username_; }
  // Filled by getReviews; absent before it first succeeded.
  std::optional<std::vector<KVReviews>> packageReviews() const;
  // Filled by getReviewWithID; absent before it first succeeded.
  std::optional<KVReviews> review() const;

  // The short form (identifier, user name, stars) when the review text and the title are
  // both empty texts, else the long one with "title" and "description". Answers the
  // service's reply text, or the transport error's description.
  void postRatingReview(const std::string& identifier, const std::optional<std::string>& reviewText,
                        const std::optional<std::string>& reviewTitle, int64_t rating, Completion completion);
  // The text form of the reply's number "rating"; nothing on any failure.
  void getAverageRate(const std::string& identifier, Completion completion);
  // "Success" once the results hold the reply; nothing on any failure, the results then
  // kept as they were.
  void getReviews(const std::string& identifier, Completion completion);
  void getReviewWithID(int64_t reviewID, Completion completion);
  // A reply when one is given, else an up-vote, else a down-vote, else an empty form.
  // Answers the service's reply text; nothing on a transport error.
  void replyToReviewWithUserID(int64_t userID, int64_t reviewID, const std::optional<std::string>& reply,
                               bool upvote, bool downvote, Completion completion);

 private:
  struct Results;
  std::optional<std::string> username_;
  std::shared_ptr<Results> results_;
};
