#include "account/KVAccount.h"

#include <cstdlib>

#include "account/KVAccountLists.h"
#include "account/KVFollowedDevelopers.h"
#include "account/KVKeychainBindings.h"
#include "account/KVPackagesWishlist.h"
#include "account/KVVendorService.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"

namespace {
const char* const kKeys[] = {"username", "password", "userID", "groupID", "secGroupID", "email", "avatarURL"};

// A sign-in reply's value as the keychain keeps it: a text as it is, a number in its
// text form; null, absent or anything else leaves the stored value alone.
std::optional<std::string> storedText(const Value& value) {
  if (value.isString() || value.isInteger() || value.isReal()) return value.asString();
  return std::nullopt;
}
}  // namespace

KVAccount::KVAccount() : keychain_(KVKeychainBindings::sharedKeychainBindings()) {}

KVAccount& KVAccount::instance() {
  static KVAccount* shared = new KVAccount();  // lives as long as the process
  return *shared;
}

std::optional<std::string> KVAccount::returnUsername() const { return keychain_.objectForKey("username"); }
std::optional<std::string> KVAccount::returnPassword() const { return keychain_.objectForKey("password"); }
std::optional<std::string> KVAccount::returnEmail() const { return keychain_.objectForKey("email"); }
std::optional<std::string> KVAccount::returnAvatarURL() const { return keychain_.objectForKey("avatarURL"); }

int64_t KVAccount::returnUserID() const {
  auto text = keychain_.objectForKey("userID");
  return text ? std::strtoll(text->c_str(), nullptr, 10) : 0;
}

void KVAccount::setUsername(const std::optional<std::string>& value) { keychain_.setObject(value, "username"); }
void KVAccount::setPassword(const std::optional<std::string>& value) { keychain_.setObject(value, "password"); }
void KVAccount::setUserID(const std::optional<std::string>& value) { keychain_.setObject(value, "userID"); }
void KVAccount::setGroupID(const std::optional<std::string>& value) { keychain_.setObject(value, "groupID"); }
void KVAccount::setSecGroupID(const std::optional<std::string>& value) { keychain_.setObject(value, "secGroupID"); }
void KVAccount::setEmail(const std::optional<std::string>& value) { keychain_.setObject(value, "email"); }
void KVAccount::setAvatarURL(const std::optional<std::string>& value) { keychain_.setObject(value, "avatarURL"); }

void KVAccount::logout() {
  for (const char* key : kKeys) keychain_.removeObjectForKey(key);
}

void KVAccount::performLogin(const std::string& username, const std::string& password, Completion completion) {
  auto complete = [completion](const std::string& status) {
    if (completion) completion(status);
  };
  if (username.empty() || password.empty()) return complete(kMissingCredentials);
  KVVendorService::post(
      "login/login.php", {{"username", username}, {"password", password}, {"login", KVVendorService::kClientKey}},
      KVServiceCall::Acceptance{}, [this, password, complete](Expected<KVServiceReply> reply) {
        // A transport error is logged by the service's helper.
        if (!reply) return complete(reply.error()->localizedDescription());
        std::string text = reply->text();
        if (text == kIncorrectPassword || text.find(kUnknownUserMarker) != std::string::npos) return complete(text);
        auto json = KVServiceReply::parseJSON(reply->body());
        if (!json || !json->isDictionary()) {
          KVLog("Error : %s", json ? "the reply is no JSON object" : json.error()->localizedDescription().c_str());
          return complete(kUnreadableReply);
        }
        // Signed in only when a user name is stored afterwards: the reply's, or the one
        // kept from before when the reply names none. Otherwise nothing is stored.
        auto name = storedText((*json)["username"]);
        std::optional<std::string> storedName = name ? name : returnUsername();
        if (!storedName || storedName->empty()) return complete(kNoAccountName);
        if (name) setUsername(name);
        setPassword(password);
        if (auto v = storedText((*json)["email"])) setEmail(v);
        if (auto v = storedText((*json)["avatar_url"])) setAvatarURL(v);
        if (auto v = storedText((*json)["user_id"])) setUserID(v);
        if (auto v = storedText((*json)["group_id"])) setGroupID(v);
        if (auto v = storedText((*json)["sec_group_ids"])) setSecGroupID(v);
        pullAccountLists();
        complete("Success");
      });
}

void KVAccount::pullAccountLists(std::function<void()> finished) {
  auto done = [finished] {
    if (finished) finished();
  };
  KVPackagesWishlist::sharedInstance().retrieveKorvaleAccountWishlist([done](auto wishlist) {
    performOnDefaultThread([wishlist = std::move(wishlist), done] {
      // A failed pull leaves the local list as it is.
      if (wishlist) KVAccountLists::applyWishlist(*wishlist);
      KVFollowedDevelopers::sharedInstance().retrieveKorvaleAccountFollowedDevelopers([done](auto developers) {
        performOnDefaultThread([developers = std::move(developers), done] {
          // Applied here in one transaction and not uploaded: the service already holds
          // exactly this list.
          if (developers) KVAccountLists::applyFollowedDevelopers(*developers);
          done();
        });
      });
    });
  });
}
