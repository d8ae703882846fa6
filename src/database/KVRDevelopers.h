#pragma once
// The developers the user follows, as KVRDeveloper rows keyed by the lower-cased
// maintainer name: whether one is followed, following and unfollowing, and after every
// refresh of the package information a recount of each followed developer's packages,
// with the new ones recorded and announced ("NewPackageByFollowedDeveloper").
#include <functional>
#include <string>
#include <vector>

#include "foundation/Error.h"

inline constexpr const char* KVNewPackageByFollowedDeveloperNotification = "NewPackageByFollowedDeveloper";

class KVRDevelopers {
 public:
  // The names of the followed developers in database order; the empty name never.
  std::vector<std::string> arrayOfFollowedDevelopers() const;
  // Whether the developer (any case) has a row that is followed.
  bool isDeveloperFollowed(const std::string& name) const;
  // On a background queue, returns at once: follows or unfollows the developer in one
  // write transaction that looks the row up itself, so two quick calls make one row. A
  // write that fails says why on a card: the screen has shown the change already.
  void setDeveloper(const std::string& name, bool followed);
  // The same; `ended` runs on the main thread once the transaction has ended, so a
  // screen that lists the followed developers reads the new state.
  void setDeveloper(const std::string& name, bool followed, std::function<void()> ended);
  // The same on the calling thread, without the card; answers why it was not written.
  [[nodiscard]] static ErrorRef setDeveloperNow(const std::string& name, bool followed);
  // On the calling thread: recounts every followed developer's packages, rewrites the
  // rows whose count changed and announces the new packages of a grown one.
  void updateDevelopersCache();
  // On a background queue: every developer unfollowed.
  void resetFollowedDevelopers();
};
