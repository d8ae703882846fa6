#pragma once
// The vendor account's copy of the followed developers: the developers manager, below the
// account, tells it after every change of a followed mark, and it uploads the whole list
// when a user is signed in. The composition root hands the account's uploader down.
class KVFollowedDevelopersSyncing {
 public:
  virtual ~KVFollowedDevelopersSyncing() = default;
  virtual void followedDevelopersChanged() = 0;
};
