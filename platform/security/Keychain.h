#pragma once
// The system's secret store in place of the device keychain: generic-password items
// (service, account, value bytes, accessibility) kept in one file of the device root,
// readable by its owner only (mode 0600) and replaced atomically on every change.
// A switch makes it behave like a locked device: items that are accessible only while
// unlocked can then be neither read nor written.
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/Value.h"

// The platform's status codes that callers see.
enum : int32_t {
  errSecSuccess = 0,
  errSecParam = -50,
  errSecIO = -36,
  errSecDuplicateItem = -25299,
  errSecItemNotFound = -25300,
  errSecInteractionNotAllowed = -25308,
};

// The platform's accessibility values, as the platform spells them internally.
inline constexpr const char* kSecAttrAccessibleWhenUnlocked = "ak";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlock = "ck";
inline constexpr const char* kSecAttrAccessibleAlways = "dk";
inline constexpr const char* kSecAttrAccessibleWhenUnlockedThisDeviceOnly = "aku";
inline constexpr const char* kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly = "cku";
inline constexpr const char* kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly = "akpu";

namespace Keychain {

struct Item {
  std::string service;
  std::string account;
  Data value;
  std::string accessible = kSecAttrAccessibleWhenUnlocked;
};

// The file's device path.
inline constexpr const char* kStorePath = "/var/mobile/Library/Keychains/quillbark-secrets.plist";

// The first item of the service and account.
int32_t copyMatching(const std::string& service, const std::string& account, Data* value,
                     std::string* accessible = nullptr);
int32_t add(const Item& item);
int32_t update(const std::string& service, const std::string& account, const Data& value,
               const std::string& accessible);
int32_t remove(const std::string& service, const std::string& account);

// Locked: items that need an unlocked device answer errSecInteractionNotAllowed.
void setLocked(bool locked);
bool isLocked();
// How many writes reached the file so far (tests count keychain writes with it).
uint64_t writeCount();

}  // namespace Keychain
