#include "account/KVAccountLists.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <functional>

#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "foundation/Log.h"
#include "store/Database.h"

namespace KVAccountLists {

namespace {
// One write transaction on the default database; a failure is logged and reads as
// nothing written.
bool write(const std::function<void(store::Database& db)>& block) {
  auto db = store::Database::defaultDatabase();
  if (!db) return false;  // why is logged
  if (ErrorRef error = db->write([&] { block(*db); })) {
    KVLog("Error : %s", error->localizedDescription().c_str());
    return false;
  }
  return true;
}

std::string lowerCased(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}
}  // namespace

std::vector<std::string> wishlistIdentifiers() {
  std::vector<std::string> identifiers;
  for (const Value& v : KVRPackage::objectsWhere("isInWishlist = %@", true).valuesForKey("identifier"))
    identifiers.push_back(v.asString());
  return identifiers;
}

std::vector<std::string> followedDeveloperNames() {
  std::vector<std::string> names;
  for (const Value& v : KVRDeveloper::objectsWhere("isFollowed = %@", true).valuesForKey("name"))
    if (!v.asString().empty()) names.push_back(v.asString());
  return names;
}

bool applyWishlist(const std::vector<std::string>& identifiers) {
  if (identifiers == wishlistIdentifiers()) return false;
  return write([&](store::Database& db) {
    db.objects(KVRPackage::className()).setValue("isInWishlist", Value(false));
    for (const auto& identifier : identifiers)
      if (auto package = db.objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
        db.setValue(*package, "isInWishlist", Value(true));
  });
}

bool applyFollowedDevelopers(const std::vector<std::string>& names) {
  std::vector<std::string> wanted;
  std::copy_if(names.begin(), names.end(), std::back_inserter(wanted), [](const auto& n) { return !n.empty(); });
  if (wanted == followedDeveloperNames()) return false;
  return write([&](store::Database& db) {
    db.objects(KVRDeveloper::className()).setValue("isFollowed", Value(false));
    for (const auto& name : wanted) {
      std::string lower = lowerCased(name);
      auto existing = db.objects(KVRDeveloper::className(), "name = %@", lower);
      if (auto first = existing.empty() ? std::nullopt : existing.at(0)) {
        db.setValue(*first, "isFollowed", Value(true));
        continue;
      }
      KVRDeveloper developer;
      developer.setName(lower);
      developer.setIsFollowed(true);
      developer.setPackagesCount(0);
      db.add(developer.toObject());
    }
  });
}

}  // namespace KVAccountLists
