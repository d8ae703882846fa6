// Ratings and reviews against the played service: the two rating forms, text that must
// arrive as written, the average, the reviews, one review, replies and votes.
#include "VendorTestSupport.h"
#include "account/KVPackageRatings.h"

namespace {
using Fields = TestVendorService::Fields;

TestVendorService::Review review(int64_t id, const std::string& package, std::optional<std::string> reply) {
  TestVendorService::Review r;
  r.id = id;
  r.packageID = package;
  r.username = "bob";
  r.title = "Title " + std::to_string(id);
  r.text = "Text";
  r.rate = 4;
  r.date = "2024-01-02";
  r.reply = std::move(reply);
  r.upvotes = 3;
  return r;
}
}  // namespace

class PackageRatingsTest : public VendorTest {
 protected:
  KVPackageRatings ratings{std::string("ann")};
};

TEST_F(PackageRatingsTest, AStarRatingAloneUsesTheShortFormAndAnythingElseTheLongOne) {
  Answers shortForm, titleOnly, missing;
  ratings.postRatingReview("com.a", std::string(""), std::string(""), 5, shortForm.completion());
  EXPECT_EQ(shortForm.wait(), "Thank you for your rating!");
  ratings.postRatingReview("com.a", std::string(""), std::string("Great"), 4, titleOnly.completion());
  EXPECT_EQ(titleOnly.wait(), "Success");
  // A missing text is sent empty, never as a placeholder.
  ratings.postRatingReview("com.b", std::nullopt, std::string(""), 3, missing.completion());
  missing.wait();
  EXPECT_EQ(service->fieldsSentTo("ratings/rate.php"),
            (std::vector<Fields>{
                {{"packageID", "com.a"}, {"username", "ann"}, {"rate", "5"}},
                {{"packageID", "com.a"}, {"username", "ann"}, {"rate", "4"}, {"title", "Great"}, {"description", ""}},
                {{"packageID", "com.b"}, {"username", "ann"}, {"rate", "3"}, {"title", ""}, {"description", ""}}}));
}

TEST_F(PackageRatingsTest, AReviewArrivesAsWrittenWithItsBlanksAsPercentTwenty) {
  Answers answers;
  const std::string text = "Works #1 & more 🎉 100% = great+";
  ratings.postRatingReview("com.a", text, std::string("Nice tweak"), 5, answers.completion());
  answers.wait();
  ASSERT_EQ(service->reviews().size(), 1u);
  EXPECT_EQ(service->reviews()[0].text, text);
  EXPECT_EQ(service->reviews()[0].title, "Nice tweak");
  std::string raw = service->rawSentTo("ratings/rate.php")[0];
  EXPECT_NE(raw.find("title=Nice%20tweak"), std::string::npos) << raw;
  EXPECT_EQ(raw.find('+'), std::string::npos) << raw;
}

TEST_F(PackageRatingsTest, TheAverageIsTheTextOfTheServiceNumber) {
  KVPackageRatings other(std::string("bob"));
  Answers first, second, average, none;
  ratings.postRatingReview("com.a", std::string(""), std::string(""), 4, first.completion());
  other.postRatingReview("com.a", std::string(""), std::string(""), 5, second.completion());
  first.wait();
  second.wait();
  ratings.getAverageRate("com.a", average.completion());
  EXPECT_EQ(average.wait(), "4.5");
  ratings.getAverageRate("com.unrated", none.completion());
  EXPECT_EQ(none.wait(), "<none>");
  for (const char* reply : {R"({"rating":"4"})", "[4]", "no json"}) {
    Answers wrong;
    service->answer("ratings/rating.php", TestHttpResponse::json(reply));
    ratings.getAverageRate("com.a", wrong.completion());
    EXPECT_EQ(wrong.wait(), "<none>") << reply;
  }
}

TEST_F(PackageRatingsTest, ReviewsAreReadWithANullReplyAsNoReply) {
  service->addReview(review(1, "com.a", std::nullopt));
  service->addReview(review(2, "com.a", std::string("Thanks!")));
  service->addReview(review(3, "com.b", std::nullopt));
  Answers list, one;
  EXPECT_EQ(ratings.packageReviews(), std::nullopt);
  ratings.getReviews("com.a", list.completion());
  ASSERT_EQ(list.wait(), "Success");
  auto reviews = ratings.packageReviews().value();
  ASSERT_EQ(reviews.size(), 2u);
  EXPECT_EQ(reviews[0].reviewID, "1");
  EXPECT_EQ(reviews[0].rating, 4);
  EXPECT_EQ(reviews[0].title, "Title 1");
  EXPECT_EQ(reviews[0].desc, "Text");
  EXPECT_EQ(reviews[0].name, "bob");
  EXPECT_EQ(reviews[0].date, "2024-01-02");
  EXPECT_EQ(reviews[0].reply, std::nullopt);
  EXPECT_EQ(reviews[0].upvotes, "3");
  EXPECT_EQ(reviews[0].downvotes, "0");
  EXPECT_EQ(reviews[1].reply, "Thanks!");

  ratings.getReviewWithID(1, one.completion());
  ASSERT_EQ(one.wait(), "Success");
  EXPECT_EQ(ratings.review()->title, "Title 1");
  EXPECT_EQ(ratings.review()->reply, std::nullopt);
  EXPECT_EQ(service->fieldsSentTo("ratings/reviews.php").back(), (Fields{{"review_id", "1"}}));

  // An unknown review is answered with a list: no review, and the last one stays.
  Answers unknown, empty;
  ratings.getReviewWithID(99, unknown.completion());
  EXPECT_EQ(unknown.wait(), "<none>");
  EXPECT_EQ(ratings.review()->reviewID, "1");
  ratings.getReviews("com.none", empty.completion());
  EXPECT_EQ(empty.wait(), "Success");
  EXPECT_EQ(ratings.packageReviews(), std::vector<KVReviews>{});
}

TEST_F(PackageRatingsTest, UnreadableReviewsAnswerNothingAndKeepTheLastList) {
  service->addReview(review(1, "com.a", std::nullopt));
  Answers first;
  ratings.getReviews("com.a", first.completion());
  ASSERT_EQ(first.wait(), "Success");
  // Wrong types inside a review read as absent; an element that is no review is skipped.
  service->answer("ratings/reviews.php", TestHttpResponse::json(R"([{"id":9,"rate":"x","title":["t"]},"junk"])"));
  Answers odd;
  ratings.getReviews("com.a", odd.completion());
  ASSERT_EQ(odd.wait(), "Success");
  auto reviews = ratings.packageReviews().value();
  ASSERT_EQ(reviews.size(), 1u);
  EXPECT_EQ(reviews[0].reviewID, std::nullopt);
  EXPECT_EQ(reviews[0].rating, std::nullopt);
  EXPECT_EQ(reviews[0].title, std::nullopt);

  for (auto response : {TestHttpResponse::json(R"({"id":"1"})"), TestHttpResponse::text("<html>", 500),
                        TestVendorService::droppedConnection()}) {
    service->answer("ratings/reviews.php", response);
    Answers failed;
    ratings.getReviews("com.a", failed.completion());
    EXPECT_EQ(failed.wait(), "<none>");
    EXPECT_EQ(ratings.packageReviews()->size(), 1u);
  }
}

TEST_F(PackageRatingsTest, RepliesAndVotesUseTheirFormsAndTheReplyWins) {
  service->addReview(review(5, "com.a", std::nullopt));
  Answers reply, up, down, nothing;
  ratings.replyToReviewWithUserID(7, 5, std::string("Fixed in 1.2 & later #3"), true, true, reply.completion());
  EXPECT_EQ(reply.wait(), "Reply posted.");
  ratings.replyToReviewWithUserID(7, 5, std::nullopt, true, true, up.completion());
  EXPECT_EQ(up.wait(), "Vote counted.");
  ratings.replyToReviewWithUserID(7, 5, std::nullopt, false, true, down.completion());
  EXPECT_EQ(down.wait(), "Vote counted.");
  ratings.replyToReviewWithUserID(7, 5, std::nullopt, false, false, nothing.completion());
  EXPECT_EQ(nothing.wait(), "Nothing to do.");
  EXPECT_EQ(service->fieldsSentTo("ratings/reply.php"),
            (std::vector<Fields>{{{"id", "7"}, {"reply", "Fixed in 1.2 & later #3"}, {"review_id", "5"}},
                                 {{"id", "7"}, {"upvote", "1"}, {"review_id", "5"}},
                                 {{"id", "7"}, {"downvote", "1"}, {"review_id", "5"}},
                                 {}}));
  auto stored = service->reviews()[0];
  EXPECT_EQ(stored.reply, "Fixed in 1.2 & later #3");
  EXPECT_EQ(stored.upvotes, 4);
  EXPECT_EQ(stored.downvotes, 1);
}

TEST_F(PackageRatingsTest, TransportFailuresAnswerAsEachOperationSaysEvenAfterTheObjectIsGone) {
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
  Answers rating, reply, reviews;
  {
    KVPackageRatings dropped(std::string("ann"));
    dropped.postRatingReview("com.a", std::string(""), std::string(""), 5, rating.completion());
    dropped.replyToReviewWithUserID(7, 5, std::string("x"), false, false, reply.completion());
    dropped.getReviews("com.a", reviews.completion());
  }
  // The rating passes the error's own description; the others answer nothing.
  EXPECT_NE(rating.wait(), "<none>");
  EXPECT_NE(rating.wait(), "<no answer>");
  EXPECT_EQ(reply.wait(), "<none>");
  EXPECT_EQ(reviews.wait(), "<none>");
}
