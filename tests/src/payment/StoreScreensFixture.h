#pragma once
// Three repositories refreshed for real on 127.0.0.1: a copy of the test data's paid
// repository whose payment service the server plays (its endpoint and icon pointed here,
// its user information listing purchases), a second paid copy whose vendor information
// answers 500, and nepeta, which offers no payment service. The screens are driven as a
// person would.
#include <filesystem>
#include <mutex>

#include "account/KVKeychainBindingsController.h"
#include "payment/KVRepoStoreAPI.h"
#include "support/SourceRefreshFixture.h"
#include "support/TestData.h"
#include "support/UIDriver.h"
#include "uikit/SFAuthenticationSession.h"

class StoreScreensFixture : public SourceRefreshFixture {
 protected:
  void SetUp() override {
    SourceRefreshFixture::SetUp();
    QB_TESTDATA_OR_SKIP(paidrepo, "repos/paidrepo");
    QB_TESTDATA_OR_SKIP(nepetaRepo, "repos/nepeta");
    KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting();
    SFAuthenticationSession::clearStartedURLs();
    std::string index = Files::readText(paidrepo + "/Packages").value_or("");
    paid = copyRepository(paidrepo, "paid-a");
    ASSERT_TRUE(DebBuilder::writeRepositoryIndex(
        repositories.file("paid-a"), index + stanza("com.nan.second", "1.0", {{"Name", "Another debd"}}),
        {"zhaonan's fake Repo", "zhaonan's fake Repo", "test", true}));
    broken = copyRepository(paidrepo, "paid-b");
    std::string brokenIndex = index;
    for (size_t at; (at = brokenIndex.find("com.nan.debd")) != std::string::npos;)
      brokenIndex.replace(at, 12, "com.nan.other");
    ASSERT_TRUE(DebBuilder::writeRepositoryIndex(repositories.file("paid-b"), brokenIndex,
                                                 {"A Broken Shop", "A Broken Shop", "test", true}));
    nepeta = copyRepository(nepetaRepo, "nepeta");
    playPaymentService("paid-a");
    playPaymentService("paid-b");
    server.respond("/paid-b/api/info", TestHttpResponse::json(R"({"error":"down"})", 500));
    for (const auto& location : {paid, broken, nepeta}) ASSERT_TRUE(refresh(location)) << location;
    ASSERT_TRUE(source(paid)->hasEndpoint().value_or(false));
    ASSERT_FALSE(source(nepeta)->hasEndpoint().value_or(false));
  }

  // The repository's folder under the server's root, writable.
  std::string copyRepository(const std::string& from, const std::string& folder) {
    namespace fs = std::filesystem;
    fs::copy(from, repositories.file(folder), fs::copy_options::recursive);
    for (const auto& entry : fs::recursive_directory_iterator(repositories.file(folder)))
      fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
    fs::permissions(repositories.file(folder), fs::perms::owner_write, fs::perm_options::add);
    return server.url("/" + folder + "/");
  }

  // The service of a copy: its endpoint and icon here, a sign-in page that leads back at
  // once, the user's purchases, and a sign-out.
  void playPaymentService(const std::string& folder) {
    std::string api = "/" + folder + "/api/";
    ASSERT_TRUE(Files::writeAtomically(repositories.file(folder + "/payment_endpoint"), server.url(api) + "\n"));
    ASSERT_TRUE(Files::writeAtomically(
        repositories.file(folder + "/api/info"),
        Value::dict({{"name", "zhaonan's fake repo"},
                     {"icon", server.url("/" + folder + "/CydiaIcon@3x.png")},
                     {"description", "testttt"},
                     {"authentication_banner", Value::dict({{"message", "login to test"}, {"button", "Sign in"}})}})
            .toJSON()));
    server.redirect(api + "authenticate", server.url(api + "fakelogin.html"));
    server.handle("POST", api + "user_info", [this](const TestHttpRequest&) {
      std::lock_guard<std::mutex> lock(mutex_);
      Value items = Value::array();
      for (const auto& item : owned_) items.push_back(Value(item));
      return TestHttpResponse::json(
          Value::dict({{"user", Value::dict({{"name", "test"}, {"email", "test@github.com"}})}, {"items", items}}).toJSON());
    });
    server.handle("POST", api + "sign_out",
                  [](const TestHttpRequest&) { return TestHttpResponse::json(R"({"success":true})"); });
  }
  void own(std::vector<std::string> identifiers) {
    std::lock_guard<std::mutex> lock(mutex_);
    owned_ = std::move(identifiers);
  }
  // Waits, pumping the main loop, until the condition holds.
  static bool eventually(const std::function<bool()>& condition, double seconds = 20) {
    return RunLoop::main().runUntil(condition, seconds);
  }

  UIDriver ui;
  std::string paid, broken, nepeta;

 private:
  std::mutex mutex_;
  std::vector<std::string> owned_;
};
