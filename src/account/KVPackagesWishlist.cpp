#include "account/KVPackagesWishlist.h"

#include "account/KVAccountLists.h"
#include "account/KVVendorService.h"

KVPackagesWishlist::KVPackagesWishlist()
    : KVAccountListSync("wishlist/wishlist.php", "wishlist/retrievewishlist.php", "wishlist") {}

KVPackagesWishlist& KVPackagesWishlist::sharedInstance() {
  static KVPackagesWishlist* shared = new KVPackagesWishlist();  // lives as long as the process
  return *shared;
}

void KVPackagesWishlist::syncWithTheKorvaleAccount() {
  upload(KVVendorService::joinedList(KVAccountLists::wishlistIdentifiers()));
}

void KVPackagesWishlist::retrieveKorvaleAccountWishlist(ListCompletion completion) { retrieve(std::move(completion)); }
