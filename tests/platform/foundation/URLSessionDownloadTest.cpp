#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

#include "foundation/Files.h"
#include "foundation/URLSession.h"
#include "support/TestHttpServer.h"

namespace {

class RecordingDelegate : public URLSessionDelegate {
 public:
  std::mutex mutex;
  std::condition_variable cv;
  std::vector<int64_t> totals;
  std::vector<int64_t> expected;
  int64_t sumOfWrites = 0;
  std::optional<std::string> downloadedText;
  bool fileExistedDuringCall = false;
  std::string downloadedPath;
  int completions = 0;
  ErrorRef error;
  bool invalidated = false;

  void didWriteData(URLSession&, URLSessionDownloadTask&, int64_t written, int64_t total, int64_t expect) override {
    std::lock_guard<std::mutex> lock(mutex);
    sumOfWrites += written;
    totals.push_back(total);
    expected.push_back(expect);
  }
  void didFinishDownloadingToURL(URLSession&, URLSessionDownloadTask&, const URL& location) override {
    std::lock_guard<std::mutex> lock(mutex);
    downloadedPath = location.path();
    fileExistedDuringCall = Files::exists(downloadedPath);
    downloadedText = Files::readText(downloadedPath);
  }
  void didCompleteWithError(URLSession&, URLSessionTask&, ErrorRef e) override {
    std::lock_guard<std::mutex> lock(mutex);
    error = e;
    ++completions;
    cv.notify_all();
  }
  void didBecomeInvalidWithError(URLSession&, ErrorRef) override {
    std::lock_guard<std::mutex> lock(mutex);
    invalidated = true;
    cv.notify_all();
  }
  bool waitFor(const std::function<bool()>& done) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(20), done);
  }
};

std::string bigBody(size_t n) {
  std::string s;
  s.reserve(n);
  for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + i % 26);
  return s;
}

}  // namespace

TEST(URLSessionDownload, WritesTheBodyToAFileWithProgressAndExpectedLength) {
  TestHttpServer server;
  const std::string body = bigBody(3 * 1024 * 1024 + 17);
  TestHttpResponse archive = TestHttpResponse::text(body);
  archive.contentType = "application/vnd.debian.binary-package";  // not compressed on the way
  server.respond("/pkg.deb", archive);
  auto delegate = std::make_shared<RecordingDelegate>();
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(),
                                                      delegate);
  session->downloadTaskWithURL(*URL::fromString(server.url("/pkg.deb")))->resume();
  ASSERT_TRUE(delegate->waitFor([&] { return delegate->completions == 1; }));
  std::lock_guard<std::mutex> lock(delegate->mutex);
  EXPECT_FALSE(delegate->error);
  EXPECT_TRUE(delegate->fileExistedDuringCall);
  ASSERT_TRUE(delegate->downloadedText);
  EXPECT_TRUE(*delegate->downloadedText == body);
  EXPECT_FALSE(Files::exists(delegate->downloadedPath)) << "the file goes when the delegate returns";
  ASSERT_FALSE(delegate->totals.empty());
  for (size_t i = 1; i < delegate->totals.size(); ++i) EXPECT_GT(delegate->totals[i], delegate->totals[i - 1]);
  EXPECT_EQ(delegate->totals.back(), static_cast<int64_t>(body.size()));
  EXPECT_EQ(delegate->sumOfWrites, static_cast<int64_t>(body.size()));
  EXPECT_EQ(delegate->expected.back(), static_cast<int64_t>(body.size()));
}

TEST(URLSessionDownload, ACompletionBlockGetsTheFileAndACutTransferFails) {
  TestHttpServer server;
  server.respond("/small", TestHttpResponse::text("tiny file"));
  server.truncate("/cut", "only part", 5000);
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration());
  std::mutex m;
  std::condition_variable cv;
  int done = 0;
  std::string text;
  ErrorRef cutError;
  std::optional<URL> cutLocation;
  session->downloadTaskWithURL(*URL::fromString(server.url("/small")),
                               [&](std::optional<URL> location, URLResponseRef response, ErrorRef error) {
                                 std::lock_guard<std::mutex> lock(m);
                                 if (location && response && !error) text = Files::readText(location->path()).value_or("");
                                 ++done;
                                 cv.notify_all();
                               })
      ->resume();
  session->downloadTaskWithURL(*URL::fromString(server.url("/cut")),
                               [&](std::optional<URL> location, URLResponseRef, ErrorRef error) {
                                 std::lock_guard<std::mutex> lock(m);
                                 cutError = error;
                                 cutLocation = location;
                                 ++done;
                                 cv.notify_all();
                               })
      ->resume();
  std::unique_lock<std::mutex> lock(m);
  ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(20), [&] { return done == 2; }));
  EXPECT_EQ(text, "tiny file");
  ASSERT_TRUE(cutError);
  EXPECT_EQ(cutError->code, NSURLErrorNetworkConnectionLost);
  EXPECT_FALSE(cutLocation);
}

TEST(URLSessionInvalidation, FinishTasksThenInvalidateWaitsAndInvalidateAndCancelCancels) {
  TestHttpServer server;
  TestHttpResponse slow = TestHttpResponse::text("late");
  slow.delay = std::chrono::seconds(30);
  server.respond("/slow", slow);
  server.respond("/quick", TestHttpResponse::text("quick"));

  auto patient = std::make_shared<RecordingDelegate>();
  auto session = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(),
                                                      patient);
  session->dataTaskWithURL(*URL::fromString(server.url("/quick")))->resume();
  session->finishTasksAndInvalidate();
  ASSERT_TRUE(patient->waitFor([&] { return patient->invalidated; }));
  {
    std::lock_guard<std::mutex> lock(patient->mutex);
    EXPECT_EQ(patient->completions, 1);
    EXPECT_FALSE(patient->error);
  }
  EXPECT_FALSE(session->delegate()) << "the delegate is let go";

  auto hasty = std::make_shared<RecordingDelegate>();
  auto other = URLSession::sessionWithConfiguration(URLSessionConfiguration::ephemeralSessionConfiguration(), hasty);
  other->dataTaskWithURL(*URL::fromString(server.url("/slow")))->resume();
  ASSERT_TRUE(server.waitForRequests("/slow", 1));
  other->invalidateAndCancel();
  ASSERT_TRUE(hasty->waitFor([&] { return hasty->invalidated; }));
  std::lock_guard<std::mutex> lock(hasty->mutex);
  EXPECT_EQ(hasty->completions, 1);
  ASSERT_TRUE(hasty->error);
  EXPECT_EQ(hasty->error->code, NSURLErrorCancelled);
}
