#include "account/KVKeychainBindings.h"

#include "account/KVKeychainBindingsController.h"

KVKeychainBindings& KVKeychainBindings::sharedKeychainBindings() {
  return KVKeychainBindingsController::sharedKeychainBindingsController().keychainBindings();
}

std::optional<std::string> KVKeychainBindings::objectForKey(const std::string& key) const {
  return KVKeychainBindingsController::sharedKeychainBindingsController().valueForKeyPath(keyPath(key));
}

std::optional<std::string> KVKeychainBindings::stringForKey(const std::string& key) const { return objectForKey(key); }

void KVKeychainBindings::setObject(const std::optional<std::string>& object, const std::string& key) {
  setObject(object, key, kSecAttrAccessibleWhenUnlocked);
}

void KVKeychainBindings::setObject(const std::optional<std::string>& object, const std::string& key,
                                   const std::string& accessible) {
  KVKeychainBindingsController::sharedKeychainBindingsController().setValue(object, keyPath(key), accessible);
}

void KVKeychainBindings::setString(const std::optional<std::string>& string, const std::string& key) {
  setObject(string, key);
}

void KVKeychainBindings::setString(const std::optional<std::string>& string, const std::string& key,
                                   const std::string& accessible) {
  setObject(string, key, accessible);
}

void KVKeychainBindings::removeObjectForKey(const std::string& key) { setObject(std::nullopt, key); }
