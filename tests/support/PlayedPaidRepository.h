#pragma once
// A paid repository with its payment service, played on a TestHttpServer under "/repo/":
// a flat repository of two paid packages and a free one (its index written into
// `folder`), its "payment_endpoint", the vendor's information and icon, a sign-in page
// that leads straight back with the credentials (as a service does for a device it knows),
// the signed-in user's purchases and the sign-out.
#include <mutex>
#include <string>
#include <vector>

class TestHttpServer;

class PlayedPaidRepository {
 public:
  static constexpr const char* kVendorName = "Example Shop";
  static constexpr const char* kToken = "played-token";
  static constexpr const char* kSecret = "played-secret";

  PlayedPaidRepository(TestHttpServer& server, const std::string& folder);

  std::string location() const;
  // The identifiers the user owns there (com.example.shade and com.example.glow at first).
  void setOwned(std::vector<std::string> identifiers);

 private:
  TestHttpServer& server_;
  mutable std::mutex mutex_;
  std::vector<std::string> owned_{"com.example.shade", "com.example.glow"};
};
