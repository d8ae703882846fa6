#pragma once
// The outside package store's web site, played at the root of a TestHttpServer of its
// own (the system finds its account pages by host, so the store owns its host), as a
// person meets it: an account page that
// shows a sign-in form until the user signs in (with a style sheet and a logo the page
// loads), the form's POST that sets a session cookie and leads back to the account page,
// a purchases page that links the user's packages under "package/", and a sign-out
// address that forgets the session and leads back to the account page.
#include <mutex>
#include <string>
#include <vector>

class TestHttpServer;

class PlayedOutsideStore {
 public:
  static constexpr const char* kUser = "ann";
  static constexpr const char* kPassword = "secret";

  explicit PlayedOutsideStore(TestHttpServer& server);

  // The store's location (what --outside-store and KVOutsideStore take).
  std::string location() const;
  // The packages the purchases page links once signed in, by identifier, as written
  // after the package link prefix (so "com.x/" may be given too).
  void setPurchases(std::vector<std::string> identifiers);
  // Whether a session is open (the store's own record).
  bool signedIn() const;

 private:
  std::string page(const std::string& title, const std::string& body) const;
  bool hasSession(const std::string& cookieHeader) const;

  TestHttpServer& server_;
  mutable std::mutex mutex_;
  std::vector<std::string> purchases_;
  std::string session_;  // the open session's cookie value; empty when signed out
  int sessions_ = 0;
};
