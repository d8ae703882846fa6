#pragma once
// The dictionary-like face of the secret store: every call goes to the shared
// controller under the key path "values.<key>".
#include <optional>
#include <string>

class KVKeychainBindings {
 public:
  static KVKeychainBindings& sharedKeychainBindings();

  std::optional<std::string> objectForKey(const std::string& key) const;
  std::optional<std::string> stringForKey(const std::string& key) const;
  void setObject(const std::optional<std::string>& object, const std::string& key);
  void setObject(const std::optional<std::string>& object, const std::string& key, const std::string& accessible);
  void setString(const std::optional<std::string>& string, const std::string& key);
  void setString(const std::optional<std::string>& string, const std::string& key, const std::string& accessible);
  void removeObjectForKey(const std::string& key);

 private:
  friend class KVKeychainBindingsController;
  KVKeychainBindings() = default;
  static std::string keyPath(const std::string& key) { return "values." + key; }
};
