#include "database/KVRDevelopers.h"

#include <algorithm>
#include <map>

#include "core/KVConnections.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "store/Store.h"
#include "store/TextFolding.h"

namespace {

// The maintainer texts of every package, lower-cased, with how often each occurs. A
// missing, empty or one-blank text names nobody.
std::map<std::string, int> packageCountsByDeveloper() {
  std::map<std::string, int> counts;
  for (const auto& value : KVRPackage::allObjects().valuesForKey("maintainer")) {
    if (!value.isString()) continue;
    const std::string& text = value.asString();
    if (text.empty() || text == " ") continue;
    ++counts[store::text::lowercase(text)];
  }
  return counts;
}

void announceNewPackages(const std::string& name, int newPackages) {
  std::string title, message;
  if (newPackages == 1) {
    title = NSLocalizedString("New Package by Followed Developer");
    message = NSLocalizedFormat("%@ has published one new package. Do you want to visit their page?", {name});
  } else {
    title = NSLocalizedString("New Packages by Followed Developer");
    message = NSLocalizedFormat("%@ has published %d new packages. Do you want to visit their page?",
                                {name, std::to_string(newPackages)});
  }
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{KVNewPackageByFollowedDeveloperNotification, Value(),
                   Value::dict({{"title", title}, {"message", message}, {"developer", name}}), nullptr, nullptr});
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(true), "NewPackagesByFollowedDevelopers");
  preferences.saveToFile();
}

}  // namespace

std::vector<std::string> KVRDevelopers::arrayOfFollowedDevelopers() const {
  std::vector<std::string> names;
  for (const auto& value : KVRDeveloper::objectsWhere("isFollowed = %@", true).valuesForKey("name")) {
    if (!value.asString().empty()) names.push_back(value.asString());
  }
  return names;
}

bool KVRDevelopers::isDeveloperFollowed(const std::string& name) const {
  auto developer = KVRDeveloper::objectsWhere("name = %@", store::text::lowercase(name)).first();
  return developer && developer->isFollowed();
}

void KVRDevelopers::setDeveloper(const std::string& name, bool followed) { setDeveloper(name, followed, nullptr); }

void KVRDevelopers::setDeveloper(const std::string& name, bool followed, std::function<void()> ended) {
  performOnDefaultThread([name, followed, ended = std::move(ended)] {
    auto connections = KVConnections::current("KVRDevelopers::setDeveloper");
    if (ErrorRef error = setDeveloperNow(name, followed)) {
      KVLog("The developer %s could not be %s: %s", name.c_str(), followed ? "followed" : "unfollowed",
            error->localizedDescription().c_str());
      KVAlertCard card{NSLocalizedString("Followed Developers"),
                       NSLocalizedFormat(followed ? "%@ could not be followed: %@" : "%@ could not be unfollowed: %@",
                                         {name, error->localizedDescription()}),
                       NSLocalizedString("Close"), "", nullptr};
      performOnMainThread([present = connections->environment.presentAlertCard, card] { present(card); });
    } else {
      connections->followedDevelopers->followedDevelopersChanged();
    }
    if (ended) performOnMainThread(ended);
  });
}

ErrorRef KVRDevelopers::setDeveloperNow(const std::string& name, bool followed) {
  auto db = store::Database::openDefaultDatabase();
  if (!db) return db.error();
  const std::string lowered = store::text::lowercase(name);
  // The row is looked up inside the transaction: a second follow waiting for the
  // writer sees the row the first one added.
  return (*db)->write([&] {
    auto rows = (*db)->objects(KVRDeveloper::className(), "name = %@", lowered);
    if (auto row = rows.empty() ? std::nullopt : rows.at(0)) {
      (*db)->setValue(*row, "isFollowed", Value(followed));
      return;
    }
    KVRDeveloper developer;
    developer.setName(lowered);
    developer.setIsFollowed(followed);
    (*db)->add(developer.toObject());
  });
}

void KVRDevelopers::updateDevelopersCache() {
  auto db = store::Database::defaultDatabase();
  if (!db) return;
  const auto followed = KVRDeveloper::objectsWhere("isFollowed = %@", true).all();
  // Counting every package's maintainer is a scan of them all: not for nobody followed.
  if (followed.empty()) return;
  const std::map<std::string, int> counts = packageCountsByDeveloper();
  for (const KVRDeveloper& developer : followed) {
    auto found = counts.find(developer.name());
    const int newCount = found == counts.end() ? 0 : found->second;
    const int oldCount = developer.packagesCount();
    if (newCount == oldCount) continue;
    const TextList& oldList = developer.developerPackagesList();
    KVRDeveloper rewritten;
    rewritten.setName(developer.name());
    rewritten.setIsFollowed(developer.isFollowed());
    rewritten.setPackagesCount(newCount);
    TextList all, fresh;
    for (const auto& value : KVRPackage::objectsWhere("maintainer ==[cd] %@", developer.name()).valuesForKey("identifier")) {
      const std::string& identifier = value.asString();
      if (oldList.empty() || std::find(oldList.begin(), oldList.end(), identifier) == oldList.end())
        fresh.push_back(identifier);
      all.push_back(identifier);
    }
    rewritten.setDeveloperPackagesList(all);
    rewritten.setDeveloperNewPackagesIdentifiers(fresh);
    if (ErrorRef error = db->write([&] {
      if (auto row = db->objectWithId(KVRDeveloper::className(), developer.objectId())) db->deleteObject(*row);
      db->add(rewritten.toObject());
    })) {
      KVLog("The packages of %s could not be recounted: %s", developer.name().c_str(), error->localizedDescription().c_str());
      continue;
    }
    if (newCount > oldCount) announceNewPackages(developer.name(), newCount - oldCount);
  }
}

void KVRDevelopers::resetFollowedDevelopers() {
  performOnDefaultThread([] {
    auto db = store::Database::defaultDatabase();
    if (!db) return;
    if (ErrorRef error = db->write([&] { db->objects(KVRDeveloper::className()).setValue("isFollowed", Value(false)); })) {
      KVLog("The followed developers could not be reset: %s", error->localizedDescription().c_str());
    }
  });
}
