#pragma once
// What the vendor's web service holds when a person meets it at the terminal
// (scripts/play-vendor-service and the README's account road): a few news entries with
// their banners, the credits with their avatars and the credited people in the developer
// search. The accounts come from its options; backups are kept per account for as long
// as the service runs.
#include <string>

class TestVendorService;

namespace PlayedVendorService {
inline constexpr const char* kUser = "ann";
inline constexpr const char* kPassword = "secret";
inline constexpr const char* kEmail = "ann@example.org";
// The id the service gives the first account its options name.
inline constexpr int kUserID = 1;

// Fills the service with the news, the credits, their pictures and the credited people.
void seed(TestVendorService& service);
}  // namespace PlayedVendorService
