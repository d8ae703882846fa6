#include "account/KVFollowedDevelopers.h"

#include "account/KVAccount.h"
#include "account/KVAccountLists.h"
#include "account/KVVendorService.h"

KVFollowedDevelopers::KVFollowedDevelopers()
    : KVAccountListSync("followeddevs/developers.php", "followeddevs/retrievedevelopers.php", "developers") {}

KVFollowedDevelopers& KVFollowedDevelopers::sharedInstance() {
  static KVFollowedDevelopers* shared = new KVFollowedDevelopers();  // lives as long as the process
  return *shared;
}

void KVFollowedDevelopers::syncWithTheKorvaleAccount() {
  // Empty names are left out, so the list never leads with a bare ";".
  upload(KVVendorService::joinedList(KVAccountLists::followedDeveloperNames()));
}

void KVFollowedDevelopers::retrieveKorvaleAccountFollowedDevelopers(ListCompletion completion) {
  retrieve(std::move(completion));
}

void KVFollowedDevelopersUpload::followedDevelopersChanged() {
  auto username = KVAccount::instance().returnUsername();
  if (username && !username->empty()) KVFollowedDevelopers::sharedInstance().syncWithTheKorvaleAccount();
}
