// The wishlist and the followed developers on the vendor service: uploads of the local
// lists, downloads, and what a sign-in's pull writes (or leaves alone).
#include "VendorTestSupport.h"
#include "account/KVFollowedDevelopers.h"
#include "account/KVPackagesWishlist.h"
#include "database/KVRDevelopers.h"
#include "support/TestRoot.h"
#include "support/Written.h"

namespace {
using List = std::optional<std::vector<std::string>>;

List retrieved(void (*retrieve)(KVAccountListSync::ListCompletion)) {
  Latch done;
  List list = std::vector<std::string>{"<not called>"};
  retrieve([&](List answer) {
    list = std::move(answer);
    done.arrive();
  });
  EXPECT_TRUE(done.wait(20));
  return list;
}

void retrieveWishlist(KVAccountListSync::ListCompletion c) {
  KVPackagesWishlist::sharedInstance().retrieveKorvaleAccountWishlist(std::move(c));
}
void retrieveDevelopers(KVAccountListSync::ListCompletion c) {
  KVFollowedDevelopers::sharedInstance().retrieveKorvaleAccountFollowedDevelopers(std::move(c));
}

void pull() {
  Latch done;
  KVAccount::instance().pullAccountLists([&] { done.arrive(); });
  ASSERT_TRUE(done.wait(20));
}
}  // namespace

class AccountListsTest : public VendorTest {};

TEST_F(AccountListsTest, TheWishlistUploadSendsTheMarkedPackagesOfTheStoredUser) {
  storeSignedIn(7);
  addPackage("com.a", true);
  addPackage("com.b", false);
  addPackage("com.c", true);
  KVPackagesWishlist::sharedInstance().syncWithTheKorvaleAccount();
  ASSERT_TRUE(service->waitForRequests("wishlist/wishlist.php", 1));
  EXPECT_EQ(service->fieldsSentTo("wishlist/wishlist.php")[0],
            (TestVendorService::Fields{{"userID", "7"}, {"wishlist", "com.a;com.c"}}));

  // An empty wishlist is an empty value; nobody signed in is user 0.
  KVAccount::instance().logout();
  written(db()->write([] { KVRPackage::allObjects().setValue("isInWishlist", Value(false)); }));
  KVPackagesWishlist::sharedInstance().syncWithTheKorvaleAccount();
  ASSERT_TRUE(service->waitForRequests("wishlist/wishlist.php", 2));
  EXPECT_EQ(service->fieldsSentTo("wishlist/wishlist.php")[1],
            (TestVendorService::Fields{{"userID", "0"}, {"wishlist", ""}}));
}

TEST_F(AccountListsTest, TheFollowedUploadKeepsBlanksAndAmpersandsInNamesAndLeavesOutEmptyNames) {
  storeSignedIn(7);
  addDeveloper("", true);
  addDeveloper("bob smith", true);
  addDeveloper("carol", false);
  addDeveloper("a&b", true);
  KVFollowedDevelopers::sharedInstance().syncWithTheKorvaleAccount();
  ASSERT_TRUE(service->waitForRequests("followeddevs/developers.php", 1));
  EXPECT_EQ(service->followedDevelopers(7), "bob smith;a&b");
  EXPECT_EQ(service->rawSentTo("followeddevs/developers.php")[0], "userID=7&developers=bob+smith%3Ba%26b");
}

TEST_F(AccountListsTest, FollowingADeveloperUploadsTheListOnlyWhileSignedIn) {
  TestRoot root(TestRoot::WithManagers{});
  KVRDevelopers developers;
  developers.setDeveloper("Nobody Signed In", true);
  DispatchQueue::drainGlobalQueues();
  ASSERT_TRUE(developers.isDeveloperFollowed("nobody signed in"));
  EXPECT_TRUE(service->rawSentTo("followeddevs/developers.php").empty()) << "no user name is stored";

  storeSignedIn(7);
  developers.setDeveloper("Dana", true);
  ASSERT_TRUE(service->waitForRequests("followeddevs/developers.php", 1));
  EXPECT_EQ(service->followedDevelopers(7), "nobody signed in;dana");
  developers.setDeveloper("nobody signed in", false);
  ASSERT_TRUE(service->waitForRequests("followeddevs/developers.php", 2));
  EXPECT_EQ(service->followedDevelopers(7), "dana");
}

TEST_F(AccountListsTest, DownloadsSplitTheServiceTextAndAnswerNothingForAnythingElse) {
  storeSignedIn(7);
  service->setWishlist(7, "com.a;com.b");
  EXPECT_EQ(retrieved(retrieveWishlist), (List{{"com.a", "com.b"}}));
  service->setWishlist(7, "");
  EXPECT_EQ(retrieved(retrieveWishlist), (List{{""}}));
  service->setFollowedDevelopers(7, "alice");
  EXPECT_EQ(retrieved(retrieveDevelopers), (List{{"alice"}}));
  EXPECT_EQ(service->fieldsSentTo("followeddevs/retrievedevelopers.php")[0], (TestVendorService::Fields{{"userID", "7"}}));

  const char* replies[] = {R"({})", R"({"wishlist":null})", R"({"wishlist":5})", R"(["com.a"])", "not json"};
  for (const char* reply : replies) {
    service->answer("wishlist/retrievewishlist.php", TestHttpResponse::json(reply));
    EXPECT_EQ(retrieved(retrieveWishlist), std::nullopt) << reply;
  }
  service->answer("followeddevs/retrievedevelopers.php", TestHttpResponse::text("oops", 500));
  EXPECT_EQ(retrieved(retrieveDevelopers), std::nullopt);
}

TEST_F(AccountListsTest, ThePullRewritesTheWishlistOnlyWhenItsOrderDiffers) {
  storeSignedIn(7);
  addPackage("com.a", true);
  addPackage("com.b", true);
  addPackage("com.never");  // no mark at all: a rewrite would give it NO
  service->setWishlist(7, "com.a;com.b");
  pull();
  EXPECT_EQ(wishlistMark("com.never"), std::nullopt);

  service->setWishlist(7, "com.b;com.a;com.unknown");
  pull();
  EXPECT_EQ(wishlistMark("com.never"), false);
  EXPECT_EQ(wishlistMark("com.a"), true);
  EXPECT_EQ(wishlistMark("com.b"), true);

  // A failed pull leaves the local wishlist alone.
  service->answer("wishlist/retrievewishlist.php", TestHttpResponse::text("down", 500));
  pull();
  EXPECT_EQ(wishlistMark("com.a"), true);
}

TEST_F(AccountListsTest, ThePullAppliesTheFollowedDevelopersAtOnceWithoutUploadingThem) {
  storeSignedIn(7);
  addDeveloper("carol", true);
  addDeveloper("dave", false);
  service->setFollowedDevelopers(7, "Dave;erin;;carol");
  pull();
  EXPECT_EQ(developerNames(), (std::vector<std::string>{"carol+", "dave+", "erin+"}));
  EXPECT_EQ(service->fieldsSentTo("followeddevs/developers.php").size(), 0u);

  // Equal lists write nothing; an empty text unfollows everyone and adds no blank developer.
  service->setFollowedDevelopers(7, "carol;dave;erin");
  pull();
  EXPECT_EQ(developerNames(), (std::vector<std::string>{"carol+", "dave+", "erin+"}));
  service->setFollowedDevelopers(7, "");
  pull();
  EXPECT_EQ(developerNames(), (std::vector<std::string>{"carol-", "dave-", "erin-"}));

  // A failed pull changes nothing.
  service->answer("followeddevs/retrievedevelopers.php", TestHttpResponse::text("no json"));
  addDeveloper("frank", true);
  pull();
  EXPECT_EQ(developerNames(), (std::vector<std::string>{"carol-", "dave-", "erin-", "frank+"}));
}
