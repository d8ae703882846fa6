#pragma once
// The vendor's web service, played on 127.0.0.1 for tests. It keeps its users,
// wishlists, followed developers, ratings, reviews, statistics, featured lists, news,
// credits, developers, repository directory and each user's saved setup in memory,
// answers every endpoint below "/quillapi/" as the clients expect, and checks every
// request's method, path, headers and form against what the endpoint takes. Values are
// decoded as a standard server decodes them ("+" and "%20" a blank, "%XX" a byte). It
// also serves the pictures its replies name (avatars, banners) under "/images/".
//
//   TestVendorService service;   // the clients now talk to it
//   service.addUser({.id = 7, .username = "ann", .password = "p&ss"});
//   ... KVAccount::instance().performLogin("ann", "p&ss", ...);
//   EXPECT_EQ(service.violations(), std::vector<std::string>{});
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "support/TestHttpServer.h"

class TestVendorService {
 public:
  struct User {
    int64_t id = 0;
    std::string username, password, email, avatarURL, groupID, secGroupIDs;
  };
  struct Review {
    int64_t id = 0;
    std::string packageID, username, title, text, date;
    int64_t rate = 0;
    std::optional<std::string> reply;
    int64_t upvotes = 0, downvotes = 0;
  };
  struct PackageStatistic {
    std::string packageID, devName, repoURL, version, downloadCount, seenCount;
  };
  // One request's decoded fields (query or form), in the order sent.
  using Fields = std::vector<std::pair<std::string, std::string>>;

  // A user's saved setup, as the upload sent it.
  struct Setup {
    std::vector<std::string> sources, packages;
    bool operator==(const Setup&) const = default;
  };

  // Starts the service and points the clients at it; the destructor points them at a
  // closed port again.
  // On a free port, or on `port` when one is given.
  explicit TestVendorService(int port = 0);
  ~TestVendorService();
  TestVendorService(const TestVendorService&) = delete;
  TestVendorService& operator=(const TestVendorService&) = delete;

  TestHttpServer& server() { return server_; }
  // The server path of an endpoint: "/quillapi/" + `endpoint`.
  static std::string path(const std::string& endpoint) { return "/quillapi/" + endpoint; }
  // The decoded fields of every request to the endpoint so far, in order.
  std::vector<Fields> fieldsSentTo(const std::string& endpoint) const;
  // The raw query or body of every request to the endpoint so far.
  std::vector<std::string> rawSentTo(const std::string& endpoint) const;
  // Waits (20 s at most) until the service has answered `count` requests to the endpoint.
  bool waitForRequests(const std::string& endpoint, size_t count) const;

  // Every way a request broke its endpoint's protocol, one line each.
  std::vector<std::string> violations() const;

  // The service's memory. Lists travel as one text joined by ";".
  void addUser(User user);
  std::optional<std::string> wishlist(int64_t userID) const;
  void setWishlist(int64_t userID, std::string joined);
  std::optional<std::string> followedDevelopers(int64_t userID) const;
  void setFollowedDevelopers(int64_t userID, std::string joined);
  void addReview(Review review);
  std::vector<Review> reviews() const;
  // Every star rating posted: package, user name, stars.
  std::vector<Fields> ratings() const;
  std::vector<PackageStatistic> packageStatistics() const;
  std::vector<std::string> searches() const;
  std::vector<std::string> downloadHistory(int64_t userID) const;
  void setTrending(std::vector<std::string> searches);
  void setFeatured(Value reply);
  void setNews(Value reply);
  void setCredits(Value reply);
  // The setup kept for the user; none before an upload.
  std::optional<Setup> setup(int64_t userID) const;
  void setSetup(int64_t userID, Setup setup);
  // Serves `bytes` as a picture at the address answered, each reply held back `delay`.
  std::string addImage(const std::string& name, std::string bytes,
                       std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  void addDeveloper(Value profile);
  void addDirectoryEntry(Value entry);
  std::vector<Value> directory() const;

  // Answers the endpoint with `response` from now on, after the request's checks: a
  // failure text, a body that is no JSON, a status 500, a dropped connection or a reply
  // held back past the client's time-out.
  void answer(const std::string& endpoint, TestHttpResponse response);
  static TestHttpResponse droppedConnection();
  // Holds back the answers to requests of the endpoint that carry `value` in one of
  // their fields until it is released (20 s at most), so a test sets the order in which
  // answers to requests running at once arrive. Held requests still arrive (the
  // server counts them); they are answered, and counted here, once released.
  void hold(const std::string& endpoint, const std::string& value);
  void release(const std::string& endpoint, const std::string& value);

 private:
  TestHttpResponse dispatch(const TestHttpRequest& request);
  TestHttpResponse answerLocked(const std::string& endpoint, const Fields& fields);
  // The request's fields after checking it against the endpoint; violations recorded.
  std::optional<Fields> checkedFields(const TestHttpRequest& request, std::string* endpoint);
  TestHttpResponse login(const Fields& fields);
  TestHttpResponse rate(const Fields& fields);
  TestHttpResponse reviewsReply(const Fields& fields);
  TestHttpResponse replyToReview(const Fields& fields);
  TestHttpResponse statistics(const Fields& fields);
  TestHttpResponse addRepository(const Fields& fields);
  TestHttpResponse saveSetup(const Fields& fields);
  TestHttpResponse retrieveSetup(const Fields& fields) const;
  TestHttpResponse image(const TestHttpRequest& request) const;
  TestHttpResponse searchResults(const std::vector<Value>& items, const std::vector<std::string>& keys,
                                 const std::string& query) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable answered_;
  std::map<std::string, size_t> answeredCount_;
  std::vector<std::string> violations_;
  std::map<std::string, std::vector<Fields>> fields_;
  std::map<std::string, std::vector<std::string>> raw_;
  std::map<std::string, TestHttpResponse> answers_;
  std::set<std::pair<std::string, std::string>> held_;
  std::vector<User> users_;
  std::map<int64_t, std::string> wishlists_, followed_;
  std::vector<Review> reviews_;
  std::vector<Fields> ratings_;
  std::vector<PackageStatistic> packageStatistics_;
  std::vector<std::string> searches_;
  std::map<int64_t, std::vector<std::string>> downloads_;
  std::optional<std::vector<std::string>> trending_;
  Value featured_ = Value::dict();
  Value news_ = Value::array();
  Value credits_ = Value::array();
  std::map<int64_t, Setup> setups_;
  std::map<std::string, TestHttpResponse> images_;
  std::vector<Value> developers_, directory_;
  TestHttpServer server_;  // last: it stops, and its handlers end, before the rest goes
};
