#pragma once
// The signed-in vendor account. Seven keychain values hold it ("username", "password",
// "userID", "groupID", "secGroupID", "email", "avatarURL"); signed in means a non-empty
// stored user name. A sign-in stores what the service answers, then pulls the account's
// wishlist and followed developers into the database; signing out forgets the seven
// values and keeps the local lists.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class KVKeychainBindings;

class KVAccount {
 public:
  using Completion = std::function<void(const std::string& status)>;

  static constexpr const char* kMissingCredentials = "You have to fill in both username and password";
  static constexpr const char* kIncorrectPassword = "Incorrect password. Please try again.";
  static constexpr const char* kUnknownUserMarker = "The requested user ";
  // Our own texts for the failures the service's texts do not cover.
  static constexpr const char* kUnreadableReply = "The account service gave an answer that could not be read.";
  static constexpr const char* kNoAccountName = "The account service did not name the account.";

  static KVAccount& instance();

  std::optional<std::string> returnUsername() const;
  std::optional<std::string> returnPassword() const;
  std::optional<std::string> returnEmail() const;
  std::optional<std::string> returnAvatarURL() const;
  // The stored user id as an integer; 0 when none is stored.
  int64_t returnUserID() const;

  void setUsername(const std::optional<std::string>& value);
  void setPassword(const std::optional<std::string>& value);
  void setUserID(const std::optional<std::string>& value);
  void setGroupID(const std::optional<std::string>& value);
  void setSecGroupID(const std::optional<std::string>& value);
  void setEmail(const std::optional<std::string>& value);
  void setAvatarURL(const std::optional<std::string>& value);

  // Signs in. The completion is always called once: "Success" when a non-empty user
  // name is stored afterwards (the lists are then being pulled), otherwise the reason:
  // the two texts above for empty input and an answer that cannot be read or names no
  // account, the service's own failure text, or the transport error's description.
  // It runs on the request's queue, or at once on the caller's thread for empty input.
  void performLogin(const std::string& username, const std::string& password, Completion completion);
  // Removes the seven values. Sends nothing; the local wishlist and followed developers stay.
  void logout();

  // What a sign-in does once it succeeded: pulls the account's wishlist, rewrites the
  // local one when it differs (in order), then pulls the followed developers and, when
  // they differ, applies them in one transaction without uploading them again.
  // `finished` runs when both are done (on a background queue).
  void pullAccountLists(std::function<void()> finished = nullptr);

 private:
  KVAccount();
  KVKeychainBindings& keychain_;
};
