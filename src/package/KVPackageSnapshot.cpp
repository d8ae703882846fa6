#include "package/KVPackageSnapshot.h"

#include <cctype>

#include "database/KVRPackage.h"
#include "database/KVRSource.h"
#include "store/Store.h"

namespace KVPackageSnapshot {

namespace {
// The record as the store holds it; reads never throw at a screen, so a store that
// cannot be opened reads as no record.
std::optional<store::StoreObject> record(const std::string& className, const Value& key) {
  auto db = store::Database::defaultDatabase();
  if (!db) return std::nullopt;
  return db->objectForPrimaryKey(className, key);
}
}  // namespace

Value packageDictionary(const std::string& identifier) {
  auto object = record(KVRPackage::className(), Value(identifier));
  if (!object) return Value::dict({{"isFree", false}});
  Value snapshot = object->toValue();
  snapshot.set("isFree", KVRPackage::fromObject(*object).isFree());
  return snapshot;
}

std::optional<Value> sourceDictionary(const std::optional<std::string>& location) {
  if (!location) return std::nullopt;
  auto object = record(KVRSource::className(), Value(*location));
  if (!object) return std::nullopt;
  return object->toValue();
}

std::optional<std::string> text(const Value& snapshot, const std::string& key) {
  const Value& value = snapshot[key];
  if (!value.isString() || value.asString().empty()) return std::nullopt;
  return value.asString();
}

bool isPresent(const Value& snapshot, const std::string& key) { return snapshot.contains(key) && !snapshot[key].isNull(); }

bool flag(const Value& snapshot, const std::string& key) {
  const Value& value = snapshot[key];
  return value.isNumber() && value.asBool();
}

std::vector<std::string> texts(const Value& snapshot, const std::string& key) {
  std::vector<std::string> out;
  if (const auto* list = snapshot[key].arrayPtr())
    for (const auto& item : *list)
      if (item.isString()) out.push_back(item.asString());
  return out;
}

std::string capitalized(const std::string& text) {
  std::string out = text;
  bool wordStart = true;
  for (char& c : out) {
    unsigned char u = static_cast<unsigned char>(c);
    if (std::isspace(u)) {
      wordStart = true;
      continue;
    }
    c = static_cast<char>(wordStart ? std::toupper(u) : std::tolower(u));
    wordStart = false;
  }
  return out;
}

}  // namespace KVPackageSnapshot
