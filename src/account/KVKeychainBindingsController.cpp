#include "account/KVKeychainBindingsController.h"

#include "account/KVKeychainBindings.h"
#include "foundation/Bundle.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"

namespace {
constexpr const char* kValuesPrefix = "values.";
constexpr size_t kValuesPrefixLength = 7;
}  // namespace

KVKeychainBindingsController& KVKeychainBindingsController::sharedKeychainBindingsController() {
  static KVKeychainBindingsController* controller = new KVKeychainBindingsController();
  return *controller;
}

std::string KVKeychainBindingsController::serviceName() const { return Bundle::main().bundleIdentifier(); }

std::optional<std::string> KVKeychainBindingsController::stringForKey(const std::string& key) const {
  Data bytes;
  if (Keychain::copyMatching(serviceName(), key, &bytes) != errSecSuccess) return std::nullopt;
  std::string text = stringFromData(bytes);
  if (!isValidUTF8(text)) return std::nullopt;
  return text;
}

bool KVKeychainBindingsController::storeString(const std::optional<std::string>& string, const std::string& key) {
  return storeString(string, key, kSecAttrAccessibleWhenUnlocked);
}

bool KVKeychainBindingsController::storeString(const std::optional<std::string>& string, const std::string& key,
                                               const std::string& accessible) {
  if (!string) {
    int32_t status = Keychain::remove(serviceName(), key);
    if (status != errSecSuccess) KVLog("Could not store(Delete) string. Error was:%i", static_cast<int>(status));
    return status == errSecSuccess;
  }
  Data bytes = dataFromString(*string);
  // An item whose bytes are no text reads as nothing, yet it is there: it is replaced,
  // since an add beside it could never succeed and the key would stay stuck.
  if (Keychain::copyMatching(serviceName(), key, nullptr) == errSecSuccess) {
    int32_t status = Keychain::update(serviceName(), key, bytes, accessible);
    if (status != errSecSuccess) KVLog("Could not store(Update) string. Error was:%i", static_cast<int>(status));
    return status == errSecSuccess;
  }
  int32_t status = Keychain::add({serviceName(), key, bytes, accessible});
  if (status != errSecSuccess) KVLog("Could not store(Add) string. Error was:%i", static_cast<int>(status));
  return status == errSecSuccess;
}

KVKeychainBindings& KVKeychainBindingsController::keychainBindings() {
  static KVKeychainBindings* bindings = new KVKeychainBindings();
  return *bindings;
}

std::map<std::string, std::string> KVKeychainBindingsController::values() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return values_;
}

std::optional<std::string> KVKeychainBindingsController::valueForKeyPath(const std::string& keyPath) {
  if (keyPath.compare(0, kValuesPrefixLength, kValuesPrefix) != 0) return std::nullopt;
  std::string key = keyPath.substr(kValuesPrefixLength);
  auto stored = stringForKey(key);
  std::lock_guard<std::mutex> lock(mutex_);
  if (stored) values_[key] = *stored;
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void KVKeychainBindingsController::setValue(const std::optional<std::string>& value, const std::string& keyPath) {
  setValue(value, keyPath, kSecAttrAccessibleWhenUnlocked);
}

void KVKeychainBindingsController::setValue(const std::optional<std::string>& value, const std::string& keyPath,
                                            const std::string& accessible) {
  // The controller has no ordinary properties a key path could name.
  if (keyPath.compare(0, kValuesPrefixLength, kValuesPrefix) != 0) return;
  std::string key = keyPath.substr(kValuesPrefixLength);
  auto current = stringForKey(key);
  if (!current || !value || *value != *current) storeString(value, key, accessible);
  std::lock_guard<std::mutex> lock(mutex_);
  if (value) values_[key] = *value;
  else values_.erase(key);
}

void KVKeychainBindingsController::resetValuesForTesting() {
  std::lock_guard<std::mutex> lock(mutex_);
  values_.clear();
}
