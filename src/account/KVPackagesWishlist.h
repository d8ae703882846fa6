#pragma once
// The user's wishlist on the vendor service: the upload replaces it with the packages
// marked in the local wishlist; the download hands the service's list to a sign-in.
#include "account/KVAccountListSync.h"

class KVPackagesWishlist : public KVAccountListSync {
 public:
  static KVPackagesWishlist& sharedInstance();

  // Sends the identifiers of the wishlist's packages for the stored user id.
  void syncWithTheKorvaleAccount();
  void retrieveKorvaleAccountWishlist(ListCompletion completion);

 private:
  KVPackagesWishlist();
};
