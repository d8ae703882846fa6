#pragma once
// The platform's web authentication session: a sign-in page shown over the application
// until it leads to an address of the callback scheme, which the completion receives.
// Headless here: the page is followed as nobody touches it (redirects and refresh
// declarations lead on); a page that waits for a person keeps the session open until it
// is cancelled. Sessions are recorded, so tests and the terminal can see what was asked.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

class WebPageFollower;

inline constexpr const char* SFAuthenticationErrorDomain = "com.apple.SafariServices.Authentication";
enum SFAuthenticationError : long { SFAuthenticationErrorCanceledLogin = 1 };

class SFAuthenticationSession : public std::enable_shared_from_this<SFAuthenticationSession> {
 public:
  using CompletionHandler = std::function<void(std::optional<URL> callbackURL, ErrorRef error)>;

  SFAuthenticationSession(URL url, std::optional<std::string> callbackURLScheme, CompletionHandler completionHandler);
  ~SFAuthenticationSession();

  // On the main thread. False when the session was started before.
  bool start();
  // Closes the page: the completion hears no address and the cancelled-login error.
  void cancel();

  const URL& url() const { return url_; }
  // The page that waits on screen, once the session has settled on one.
  const std::optional<URL>& currentURL() const { return current_; }
  bool isFinished() const { return finished_; }

  // The address of every session started, in order.
  static std::vector<std::string> startedURLs();
  static void clearStartedURLs();

 private:
  void complete(std::optional<URL> callbackURL, ErrorRef error);

  URL url_;
  std::optional<std::string> scheme_;
  CompletionHandler completion_;
  std::shared_ptr<WebPageFollower> follower_;
  std::optional<URL> current_;
  bool started_ = false, finished_ = false;
};
