#pragma once
// The vendor's web service as a person meets it at the terminal (scripts/play-vendor and
// the README's account road): one account, a few news entries with their banners, the
// credits with their avatars and the credited people in the developer search. Backups
// are kept per account for as long as the service runs.
#include <string>

class TestVendorService;

namespace PlayedVendorService {
inline constexpr const char* kUser = "ann";
inline constexpr const char* kPassword = "secret";
inline constexpr const char* kEmail = "ann@example.org";
inline constexpr int kUserID = 7;

// Fills the service with the account, the news, the credits and their pictures.
void seed(TestVendorService& service);
}  // namespace PlayedVendorService
