#pragma once
// The account's two lists as the database keeps them: packages marked in the wishlist
// and developers marked followed, read in the database's order and rewritten as a
// sign-in finds them on the vendor service.
#include <string>
#include <vector>

namespace KVAccountLists {

// Identifiers of the packages whose wishlist mark is set.
std::vector<std::string> wishlistIdentifiers();
// Names of the followed developers, empty names left out.
std::vector<std::string> followedDeveloperNames();

// When `identifiers` differs from the local wishlist (in order too), one transaction
// clears every package's mark and sets it on each listed package that has a record.
// True when it wrote.
bool applyWishlist(const std::vector<std::string>& identifiers);
// When the non-empty names of `names` differ from the followed developers, one
// transaction unfollows every developer and follows each name (lower-cased), adding a
// developer record where there is none. True when it wrote.
bool applyFollowedDevelopers(const std::vector<std::string>& names);

}  // namespace KVAccountLists
