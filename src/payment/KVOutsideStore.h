#pragma once
// Where the outside package store lives, and the addresses of its web site that the
// stores list, the store's screen and its account page read: one https location ending
// in "/". It is a setting: the built-in one is a placeholder under the reserved
// ".example" name; the command line and the tests point it at a store on 127.0.0.1.
#include <string>

namespace KVOutsideStore {

inline constexpr const char* kDefaultLocation = "https://www.store.example/";

std::string location();
// A "/" is added when missing.
void setLocation(std::string location);
void resetLocation();

// The location written with "http://" (the subtitle of its row, and its package links).
std::string httpLocation();
// The first page of the account screen: the location followed by "account".
std::string accountPage();
// A navigation whose address contains it means the store signed the user out.
std::string signOutMarker();
// A finished page whose address contains it is an account page: the host (with its
// port, when the location names one other than its scheme's own) followed by "/account".
std::string accountMarker();
// Where the store lists what the user bought.
std::string purchasesPage();
// Links of the purchases page that begin with it name a package bought there.
std::string packageLinkPrefix();

// The preference that records whether the user is signed in to the store, and the
// notification that announces each change (its object the new state).
inline constexpr const char* kSignedInPreference = "cydiaStoreIsSignedIn";
inline constexpr const char* kSigninStatusDidChangeNotification = "CydiaStoreSigninStatusDidChange";

}  // namespace KVOutsideStore
