#include "support/TestVendorService.h"

#include <algorithm>
#include <cctype>
#include <chrono>

#include "account/KVVendorService.h"
#include "foundation/Bundle.h"

namespace {
std::string field(const TestVendorService::Fields& fields, const std::string& name) {
  for (const auto& [key, value] : fields)
    if (key == name) return value;
  return "";
}

int64_t integerField(const TestVendorService::Fields& fields, const std::string& name) {
  return std::strtoll(field(fields, name).c_str(), nullptr, 10);
}

std::string lowerCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

Value reviewJSON(const TestVendorService::Review& review) {
  return Value::dict({{"id", std::to_string(review.id)},
                      {"rate", review.rate},
                      {"title", review.title},
                      {"review", review.text},
                      {"username", review.username},
                      {"date", review.date},
                      {"reply", review.reply ? Value(*review.reply) : Value()},
                      {"upvotes", std::to_string(review.upvotes)},
                      {"downvotes", std::to_string(review.downvotes)}});
}

TestHttpResponse jsonReply(const Value& value) { return TestHttpResponse::json(value.toJSON()); }

Value arrayOf(const std::vector<Value>& items) {
  Value array = Value::array();
  for (const auto& item : items) array.push_back(item);
  return array;
}
}  // namespace

TestVendorService::TestVendorService(int port) : server_(TestHttpConnections::CloseEach, port) {
  server_.handle("*", "/*", [this](const TestHttpRequest& request) { return dispatch(request); });
  server_.handle("GET", "/images/*", [this](const TestHttpRequest& request) { return image(request); });
  KVVendorService::setServiceBaseURL(server_.baseURL());
}

TestVendorService::~TestVendorService() {
  // Nothing is held back any more: the server's stop waits for the requests it runs.
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.clear();
  }
  answered_.notify_all();
  KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
}

TestHttpResponse TestVendorService::droppedConnection() {
  TestHttpResponse response;
  response.announcedLength = 64;  // headers, then the connection closes with no body
  return response;
}

std::vector<TestVendorService::Fields> TestVendorService::fieldsSentTo(const std::string& endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = fields_.find(endpoint);
  return it == fields_.end() ? std::vector<Fields>{} : it->second;
}

std::vector<std::string> TestVendorService::rawSentTo(const std::string& endpoint) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = raw_.find(endpoint);
  return it == raw_.end() ? std::vector<std::string>{} : it->second;
}

bool TestVendorService::waitForRequests(const std::string& endpoint, size_t count) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return answered_.wait_for(lock, std::chrono::seconds(20), [&] {
    auto it = answeredCount_.find(endpoint);
    return it != answeredCount_.end() && it->second >= count;
  });
}

std::vector<std::string> TestVendorService::violations() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return violations_;
}

void TestVendorService::answer(const std::string& endpoint, TestHttpResponse response) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[endpoint] = std::move(response);
}

void TestVendorService::hold(const std::string& endpoint, const std::string& value) {
  std::lock_guard<std::mutex> lock(mutex_);
  held_.insert({endpoint, value});
}

void TestVendorService::release(const std::string& endpoint, const std::string& value) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_.erase({endpoint, value});
  }
  answered_.notify_all();
}

TestHttpResponse TestVendorService::dispatch(const TestHttpRequest& request) {
  TestHttpResponse response;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    std::string endpoint;
    auto fields = checkedFields(request, &endpoint);
    if (auto fixed = answers_.find(endpoint); fixed != answers_.end()) response = fixed->second;
    else if (!fields) response = TestHttpResponse::text("Bad request", 400);
    else response = answerLocked(endpoint, *fields);
    auto isHeld = [&] {
      if (!fields) return false;
      for (const auto& [name, value] : *fields)
        if (held_.count({endpoint, value})) return true;
      return false;
    };
    answered_.wait_for(lock, std::chrono::seconds(20), [&] { return !isHeld(); });
    ++answeredCount_[endpoint];
  }
  answered_.notify_all();
  return response;
}

TestHttpResponse TestVendorService::answerLocked(const std::string& endpoint, const Fields& fields) {
  const std::string stats = "stats/" + Bundle::main().shortVersion() + "/";
  int64_t user = integerField(fields, "userID");
  if (endpoint == "login/login.php") return login(fields);
  if (endpoint == "wishlist/wishlist.php" || endpoint == "followeddevs/developers.php") {
    bool wishlist = endpoint == "wishlist/wishlist.php";
    (wishlist ? wishlists_ : followed_)[user] = field(fields, wishlist ? "wishlist" : "developers");
    return TestHttpResponse::text("Success");
  }
  if (endpoint == "wishlist/retrievewishlist.php" || endpoint == "followeddevs/retrievedevelopers.php") {
    bool wishlist = endpoint == "wishlist/retrievewishlist.php";
    const auto& lists = wishlist ? wishlists_ : followed_;
    auto it = lists.find(user);
    if (it == lists.end()) return jsonReply(Value::dict());
    return jsonReply(Value::dict({{wishlist ? "wishlist" : "developers", it->second}}));
  }
  if (endpoint == "ratings/rate.php") return rate(fields);
  if (endpoint == "ratings/rating.php") {
    double sum = 0;
    int count = 0;
    for (const auto& rating : ratings_)
      if (field(rating, "packageID") == field(fields, "packageID")) sum += integerField(rating, "rate"), ++count;
    return jsonReply(count ? Value::dict({{"rating", sum / count}}) : Value::dict());
  }
  if (endpoint == "ratings/reviews.php") return reviewsReply(fields);
  if (endpoint == "ratings/reply.php") return replyToReview(fields);
  if (endpoint == stats + "stats.php") return statistics(fields);
  if (endpoint == stats + "trending.php") {
    std::vector<std::string> trending;
    if (trending_) {
      trending = *trending_;
    } else {
      // The most searched first; a tie keeps the order of first search.
      for (const auto& search : searches_)
        if (std::find(trending.begin(), trending.end(), search) == trending.end()) trending.push_back(search);
      std::stable_sort(trending.begin(), trending.end(), [this](const auto& a, const auto& b) {
        return std::count(searches_.begin(), searches_.end(), a) > std::count(searches_.begin(), searches_.end(), b);
      });
    }
    return jsonReply(arrayOf(std::vector<Value>(trending.begin(), trending.end())));
  }
  if (endpoint == "featured/featured.php") return jsonReply(featured_);
  if (endpoint == "news/retrievenews.php") return jsonReply(news_);
  if (endpoint == "developers/devs.php")
    return searchResults(developers_, {"developer"}, field(fields, "searchParam"));
  if (endpoint == "reposearch/reposearch.php")
    return searchResults(directory_, {"name", "url"}, field(fields, "searchParam"));
  if (endpoint == "reposearch/repolist.php") return jsonReply(arrayOf(directory_));
  if (endpoint == "reposearch/addrepo.php") return addRepository(fields);
  if (endpoint == "setup/savesetup.php") return saveSetup(fields);
  if (endpoint == "setup/retrievesetup.php") return retrieveSetup(fields);
  if (endpoint == "credits/credits.php") return jsonReply(credits_);
  return TestHttpResponse::text("Bad request", 400);
}

TestHttpResponse TestVendorService::login(const Fields& fields) {
  std::string name = field(fields, "username");
  auto user = std::find_if(users_.begin(), users_.end(), [&](const User& u) { return u.username == name; });
  if (user == users_.end()) return TestHttpResponse::text("The requested user '" + name + "' could not be found.");
  if (user->password != field(fields, "password")) return TestHttpResponse::text("Incorrect password. Please try again.");
  return jsonReply(Value::dict({{"username", user->username},
                                {"email", user->email},
                                {"avatar_url", user->avatarURL},
                                {"user_id", std::to_string(user->id)},
                                {"group_id", user->groupID},
                                {"sec_group_ids", user->secGroupIDs}}));
}

TestHttpResponse TestVendorService::rate(const Fields& fields) {
  std::string package = field(fields, "packageID"), user = field(fields, "username");
  if (user.empty()) return TestHttpResponse::text("You have to be signed in to rate packages.");
  std::erase_if(ratings_, [&](const Fields& r) { return field(r, "packageID") == package && field(r, "username") == user; });
  ratings_.push_back({{"packageID", package}, {"username", user}, {"rate", field(fields, "rate")}});
  if (fields.size() != 5) return TestHttpResponse::text("Thank you for your rating!");
  // One review per user and package: a second one replaces the first.
  auto mine = std::find_if(reviews_.begin(), reviews_.end(),
                           [&](const Review& r) { return r.packageID == package && r.username == user; });
  const bool updated = mine != reviews_.end();
  if (!updated) {
    Review review;
    review.id = reviews_.empty() ? 1 : reviews_.back().id + 1;
    review.packageID = package;
    review.username = user;
    review.date = "2024-05-01";
    reviews_.push_back(review);
    mine = std::prev(reviews_.end());
  }
  mine->title = field(fields, "title");
  mine->text = field(fields, "description");
  mine->rate = integerField(fields, "rate");
  return TestHttpResponse::text(updated ? "Successfully updated" : "Success");
}

TestHttpResponse TestVendorService::reviewsReply(const Fields& fields) {
  if (fields.front().first == "review_id") {
    for (const auto& review : reviews_)
      if (review.id == integerField(fields, "review_id")) return jsonReply(reviewJSON(review));
    return TestHttpResponse::json("[]");  // no such review: a list where one review belongs
  }
  std::vector<Value> list;
  for (const auto& review : reviews_)
    if (review.packageID == field(fields, "packageID")) list.push_back(reviewJSON(review));
  return jsonReply(arrayOf(list));
}

TestHttpResponse TestVendorService::replyToReview(const Fields& fields) {
  if (fields.empty()) return TestHttpResponse::text("Nothing to do.");
  auto review = std::find_if(reviews_.begin(), reviews_.end(),
                             [&](const Review& r) { return r.id == integerField(fields, "review_id"); });
  if (review == reviews_.end()) return TestHttpResponse::text("No such review.");
  if (fields[1].first == "reply") review->reply = field(fields, "reply");
  else if (fields[1].first == "upvote") ++review->upvotes;
  else ++review->downvotes;
  return TestHttpResponse::text(fields[1].first == "reply" ? "Reply posted." : "Vote counted.");
}

TestHttpResponse TestVendorService::statistics(const Fields& fields) {
  const std::string& kind = fields.front().first;
  if (kind == "packageID") {
    packageStatistics_.push_back({field(fields, "packageID"), field(fields, "devName"), field(fields, "repoURL"),
                                  field(fields, "version"), field(fields, "downloadCount"), field(fields, "seenCount")});
  } else if (kind == "searchStat") {
    searches_.push_back(field(fields, "search"));
  } else if (kind == "downloadHistory") {
    downloads_[integerField(fields, "userID")].push_back(field(fields, "packageID"));
  } else {
    const auto& history = downloads_[integerField(fields, "userID")];
    return jsonReply(arrayOf(std::vector<Value>(history.begin(), history.end())));
  }
  return TestHttpResponse::text("Success");
}

TestHttpResponse TestVendorService::addRepository(const Fields& fields) {
  for (const auto& entry : directory_)
    if (entry["url"].asString() == field(fields, "url"))
      return TestHttpResponse::text("This repository is already listed.");
  Value entry = Value::dict();
  for (const auto& [name, value] : fields)
    if (name != "key") entry.set(name, value);
  directory_.push_back(entry);
  return TestHttpResponse::text("Repository added.");
}

TestHttpResponse TestVendorService::saveSetup(const Fields& fields) {
  int64_t user = integerField(fields, "userID");
  if (user <= 0) return TestHttpResponse::text("Error");
  Setup setup;
  for (const auto& [name, value] : fields)
    if (name == "sources[]") setup.sources.push_back(value);
    else if (name == "packages[]") setup.packages.push_back(value);
  setups_[user] = std::move(setup);
  return TestHttpResponse::text("Setup saved.");
}

TestHttpResponse TestVendorService::retrieveSetup(const Fields& fields) const {
  auto it = setups_.find(integerField(fields, "userID"));
  if (it == setups_.end()) return TestHttpResponse::text("Error");
  auto list = [](const std::vector<std::string>& items) { return arrayOf(std::vector<Value>(items.begin(), items.end())); };
  return jsonReply(Value::dict({{"sources", list(it->second.sources)}, {"packages", list(it->second.packages)}}));
}

TestHttpResponse TestVendorService::image(const TestHttpRequest& request) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = images_.find(request.path.substr(std::string("/images/").size()));
  return it == images_.end() ? TestHttpResponse::text("Not Found", 404) : it->second;
}

TestHttpResponse TestVendorService::searchResults(const std::vector<Value>& items, const std::vector<std::string>& keys,
                                                  const std::string& query) const {
  std::vector<Value> found;
  for (const auto& item : items)
    for (const auto& key : keys)
      if (lowerCased(item[key].asString()).find(lowerCased(query)) != std::string::npos) {
        found.push_back(item);
        break;
      }
  return jsonReply(arrayOf(found));
}

void TestVendorService::addUser(User user) {
  std::lock_guard<std::mutex> lock(mutex_);
  users_.push_back(std::move(user));
}

std::optional<std::string> TestVendorService::wishlist(int64_t userID) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = wishlists_.find(userID);
  return it == wishlists_.end() ? std::nullopt : std::optional(it->second);
}

void TestVendorService::setWishlist(int64_t userID, std::string joined) {
  std::lock_guard<std::mutex> lock(mutex_);
  wishlists_[userID] = std::move(joined);
}

std::optional<std::string> TestVendorService::followedDevelopers(int64_t userID) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = followed_.find(userID);
  return it == followed_.end() ? std::nullopt : std::optional(it->second);
}

void TestVendorService::setFollowedDevelopers(int64_t userID, std::string joined) {
  std::lock_guard<std::mutex> lock(mutex_);
  followed_[userID] = std::move(joined);
}

void TestVendorService::addReview(Review review) {
  std::lock_guard<std::mutex> lock(mutex_);
  reviews_.push_back(std::move(review));
}

std::vector<TestVendorService::Review> TestVendorService::reviews() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reviews_;
}

std::vector<TestVendorService::Fields> TestVendorService::ratings() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ratings_;
}

std::vector<TestVendorService::PackageStatistic> TestVendorService::packageStatistics() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return packageStatistics_;
}

std::vector<std::string> TestVendorService::searches() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return searches_;
}

std::vector<std::string> TestVendorService::downloadHistory(int64_t userID) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = downloads_.find(userID);
  return it == downloads_.end() ? std::vector<std::string>{} : it->second;
}

void TestVendorService::setTrending(std::vector<std::string> searches) {
  std::lock_guard<std::mutex> lock(mutex_);
  trending_ = std::move(searches);
}

void TestVendorService::setFeatured(Value reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  featured_ = std::move(reply);
}

void TestVendorService::setNews(Value reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  news_ = std::move(reply);
}

void TestVendorService::setCredits(Value reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  credits_ = std::move(reply);
}

std::optional<TestVendorService::Setup> TestVendorService::setup(int64_t userID) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = setups_.find(userID);
  return it == setups_.end() ? std::nullopt : std::optional(it->second);
}

void TestVendorService::setSetup(int64_t userID, Setup setup) {
  std::lock_guard<std::mutex> lock(mutex_);
  setups_[userID] = std::move(setup);
}

std::string TestVendorService::addImage(const std::string& name, std::string bytes, std::chrono::milliseconds delay) {
  TestHttpResponse response;
  response.body = std::move(bytes);
  response.contentType = "image/png";
  response.delay = delay;
  std::lock_guard<std::mutex> lock(mutex_);
  images_[name] = std::move(response);
  return server_.url("/images/" + name);
}

void TestVendorService::addDeveloper(Value profile) {
  std::lock_guard<std::mutex> lock(mutex_);
  developers_.push_back(std::move(profile));
}

void TestVendorService::addDirectoryEntry(Value entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  directory_.push_back(std::move(entry));
}

std::vector<Value> TestVendorService::directory() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return directory_;
}
