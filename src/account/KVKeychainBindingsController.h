#pragma once
// The one object that talks to the secret store for the whole process. It keeps the
// last value it read or wrote per key (the value buffer), which answers reads while
// the store cannot be read (a locked device). Entries are named by key paths
// "values.<key>"; the key may itself hold dots.
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "security/Keychain.h"

class KVKeychainBindings;

class KVKeychainBindingsController {
 public:
  static KVKeychainBindingsController& sharedKeychainBindingsController();

  std::string serviceName() const;
  // Keychain read: the UTF-8 text of the item, or nothing (no item, locked, not UTF-8).
  std::optional<std::string> stringForKey(const std::string& key) const;
  // Keychain write; nothing deletes. True when the store accepted it.
  bool storeString(const std::optional<std::string>& string, const std::string& key);
  bool storeString(const std::optional<std::string>& string, const std::string& key, const std::string& accessible);

  KVKeychainBindings& keychainBindings();
  // A copy of the value buffer.
  std::map<std::string, std::string> values() const;
  std::optional<std::string> valueForKeyPath(const std::string& keyPath);
  void setValue(const std::optional<std::string>& value, const std::string& keyPath);
  void setValue(const std::optional<std::string>& value, const std::string& keyPath, const std::string& accessible);

  // Empties the value buffer (tests start each case as a fresh launch would).
  void resetValuesForTesting();

 private:
  KVKeychainBindingsController() = default;
  mutable std::mutex mutex_;
  std::map<std::string, std::string> values_;
};
