#pragma once
// The payment service of the test repository served on 127.0.0.1: its static files
// answer GET, and the POST requests of the protocol are answered from the same files.
#include <gtest/gtest.h>

#include <condition_variable>
#include <memory>
#include <mutex>

#include "PaymentTestRecords.h"
#include "account/KVKeychainBindings.h"
#include "account/KVKeychainBindingsController.h"
#include "foundation/Files.h"
#include "foundation/RunLoop.h"
#include "payment/KVRepoStoreAPI.h"
#include "support/DeviceRootFixture.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"

// What one completion received; the test waits for it.
template <typename R>
struct Outcome {
  std::mutex mutex;
  std::condition_variable cv;
  int calls = 0;
  bool failed = false;
  std::shared_ptr<R> response;

  KVRepoStoreAPI::Completion<R> completion() {
    return [this](bool f, std::shared_ptr<R> r) {
      std::lock_guard<std::mutex> lock(mutex);
      failed = f;
      response = std::move(r);
      ++calls;
      cv.notify_all();
    };
  }
  bool wait(int count = 1) {
    std::unique_lock<std::mutex> lock(mutex);
    return cv.wait_for(lock, std::chrono::seconds(20), [&] { return calls >= count; });
  }
  std::string message() {
    std::lock_guard<std::mutex> lock(mutex);
    return response && response->error ? response->error->localizedDescription() : std::string("<none>");
  }
  int64_t code() {
    std::lock_guard<std::mutex> lock(mutex);
    return response && response->error ? response->error->code : -12345;
  }
};

class PaymentTest : public DeviceRootFixture {
 protected:
  static std::string fixture(const std::string& name) {
    return Files::readText(testdata::fixture("paidrepo/" + name)).value_or("");
  }
  void SetUp() override {
    DeviceRootFixture::SetUp();
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    PaymentTestRecords::clear();
    server_.serveFolder(testdata::fixture("paidrepo"), "/paidrepo/");
    location_ = server_.url("/paidrepo/");
    endpoint_ = server_.url("/paidrepo/api/");
    for (const char* name : {"user_info", "sign_out"}) answerPost(std::string("/paidrepo/api/") + name, fixture(std::string("api/") + name));
    KVRepoStoreAPI::setPagePresenter([this](const URL& url) {
      std::lock_guard<std::mutex> lock(pagesMutex_);
      pages_.push_back(url.absoluteString());
    });
  }
  void TearDown() override {
    KVRepoStoreAPI::setPagePresenter(nullptr);
    DeviceRootFixture::TearDown();
  }
  void answerPost(const std::string& path, const std::string& body, int status = 200) {
    server_.handle("POST", path, [body, status](const TestHttpRequest&) { return TestHttpResponse::json(body, status); });
  }
  void signIn(const std::string& token = "tok", const std::string& secret = "sec") {
    auto& k = KVKeychainBindings::sharedKeychainBindings();
    k.setObject(token, location_ + "_token");
    k.setObject(secret, location_ + "_payment");
  }
  void addPaidRepo(const std::string& endpoint) { PaymentTestRecords::addSource(location_, endpoint); }
  std::vector<std::string> pages() {
    std::lock_guard<std::mutex> lock(pagesMutex_);
    return pages_;
  }
  bool waitForPages(size_t n) {
    return RunLoop::main().runUntil([&] { return pages().size() >= n; }, 20);
  }
  KVRepoStoreAPI& api() { return KVRepoStoreAPI::sharedRepoStore(); }

  TestHttpServer server_;
  std::string location_, endpoint_;
  std::mutex pagesMutex_;
  std::vector<std::string> pages_;
};
