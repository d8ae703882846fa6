#include "security/Keychain.h"

#include <atomic>
#include <mutex>

#include "foundation/Files.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace Keychain {
namespace {

std::mutex gMutex;
std::atomic<bool> gLocked{false};
std::atomic<uint64_t> gWrites{0};

bool needsUnlock(const std::string& accessible) {
  return accessible == kSecAttrAccessibleWhenUnlocked || accessible == kSecAttrAccessibleWhenUnlockedThisDeviceOnly ||
         accessible == kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly;
}

bool validAccessibility(const std::string& a) {
  return a == kSecAttrAccessibleWhenUnlocked || a == kSecAttrAccessibleAfterFirstUnlock ||
         a == kSecAttrAccessibleAlways || a == kSecAttrAccessibleWhenUnlockedThisDeviceOnly ||
         a == kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly || a == kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly;
}

std::string storePath() { return DeviceRoot::devicePath(kStorePath); }

// The file holds an array of item dictionaries. A file that cannot be read as one is
// treated as holding nothing rather than failing every call; it is replaced on the
// next write.
Value::Array load() {
  auto value = Value::fromPropertyListFile(storePath());
  if (!value || !value->isArray()) return {};
  return *value->arrayPtr();
}

bool save(const Value::Array& items) {
  std::string path = storePath();
  std::string folder = Files::deletingLastPathComponent(path);
  if (!Files::isDirectory(folder)) {
    if (!DeviceFiles::createFolders(Files::deletingLastPathComponent(folder)) ||
        !DeviceFiles::createFolder(folder, nullptr, 0700))
      return false;
  }
  if (!DeviceFiles::writeAtomically(path, Value(items).toBinaryPropertyList(), nullptr, 0600)) return false;
  ++gWrites;
  return true;
}

Value::Array::iterator find(Value::Array& items, const std::string& service, const std::string& account) {
  for (auto it = items.begin(); it != items.end(); ++it)
    if ((*it)["service"].asString() == service && (*it)["account"].asString() == account) return it;
  return items.end();
}

}  // namespace

int32_t copyMatching(const std::string& service, const std::string& account, Data* value, std::string* accessible) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto items = load();
  auto it = find(items, service, account);
  if (it == items.end()) return errSecItemNotFound;
  std::string access = (*it)["accessible"].asString(kSecAttrAccessibleWhenUnlocked);
  if (gLocked && needsUnlock(access)) return errSecInteractionNotAllowed;
  if (value) {
    const Data* bytes = (*it)["value"].dataPtr();
    *value = bytes ? *bytes : Data{};
  }
  if (accessible) *accessible = access;
  return errSecSuccess;
}

int32_t add(const Item& item) {
  if (!validAccessibility(item.accessible)) return errSecParam;
  std::lock_guard<std::mutex> lock(gMutex);
  if (gLocked && needsUnlock(item.accessible)) return errSecInteractionNotAllowed;
  auto items = load();
  if (find(items, item.service, item.account) != items.end()) return errSecDuplicateItem;
  items.push_back(Value::dict({{"service", item.service},
                               {"account", item.account},
                               {"value", item.value},
                               {"accessible", item.accessible}}));
  return save(items) ? errSecSuccess : errSecIO;
}

int32_t update(const std::string& service, const std::string& account, const Data& value,
               const std::string& accessible) {
  if (!validAccessibility(accessible)) return errSecParam;
  std::lock_guard<std::mutex> lock(gMutex);
  auto items = load();
  auto it = find(items, service, account);
  if (it == items.end()) return errSecItemNotFound;
  if (gLocked && (needsUnlock((*it)["accessible"].asString()) || needsUnlock(accessible)))
    return errSecInteractionNotAllowed;
  it->set("value", value);
  it->set("accessible", accessible);
  return save(items) ? errSecSuccess : errSecIO;
}

int32_t remove(const std::string& service, const std::string& account) {
  std::lock_guard<std::mutex> lock(gMutex);
  auto items = load();
  auto it = find(items, service, account);
  if (it == items.end()) return errSecItemNotFound;
  if (gLocked && needsUnlock((*it)["accessible"].asString())) return errSecInteractionNotAllowed;
  items.erase(it);
  return save(items) ? errSecSuccess : errSecIO;
}

void setLocked(bool locked) { gLocked = locked; }
bool isLocked() { return gLocked; }
uint64_t writeCount() { return gWrites; }

}  // namespace Keychain
