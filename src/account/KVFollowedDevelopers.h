#pragma once
// The developers the user follows, on the vendor service: the upload replaces the
// service's list with the local followed developers; the download hands the service's
// list to a sign-in.
#include "account/KVAccountListSync.h"
#include "core/KVFollowedDevelopersSyncing.h"

class KVFollowedDevelopers : public KVAccountListSync {
 public:
  static KVFollowedDevelopers& sharedInstance();

  // Sends the names of the followed developers for the stored user id.
  void syncWithTheKorvaleAccount();
  void retrieveKorvaleAccountFollowedDevelopers(ListCompletion completion);

 private:
  KVFollowedDevelopers();
};

// What the developers manager calls after a followed mark changed: the list goes up only
// while a user is signed in (a user name is stored).
class KVFollowedDevelopersUpload : public KVFollowedDevelopersSyncing {
 public:
  void followedDevelopersChanged() override;
};
