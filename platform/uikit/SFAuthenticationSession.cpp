#include "uikit/SFAuthenticationSession.h"

#include <cctype>
#include <mutex>

#include "foundation/Log.h"
#include "uikit/UIMainThread.h"
#include "uikit/WebPageFollower.h"

namespace {
std::mutex gStartedMutex;
std::vector<std::string>& started() {
  static std::vector<std::string> urls;
  return urls;
}

bool sameScheme(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}
}  // namespace

SFAuthenticationSession::SFAuthenticationSession(URL url, std::optional<std::string> callbackURLScheme,
                                                 CompletionHandler completionHandler)
    : url_(std::move(url)), scheme_(std::move(callbackURLScheme)), completion_(std::move(completionHandler)) {}

SFAuthenticationSession::~SFAuthenticationSession() {
  if (follower_) follower_->cancel();
}

bool SFAuthenticationSession::start() {
  UI_MAIN_THREAD_ONLY();
  if (started_) return false;
  started_ = true;
  {
    std::lock_guard<std::mutex> lock(gStartedMutex);
    started().push_back(url_.absoluteString());
  }
  std::weak_ptr<SFAuthenticationSession> weak = shared_from_this();
  follower_ = WebPageFollower::follow(url_, [weak](const WebPageFollower::Outcome& outcome) {
    auto self = weak.lock();
    if (!self || self->finished_) return;
    self->follower_.reset();
    if (outcome.end == WebPageFollower::End::LeftTheWeb && outcome.url && self->scheme_ &&
        sameScheme(outcome.url->scheme(), *self->scheme_)) {
      return self->complete(outcome.url, nullptr);
    }
    // Another application's address, a page that waits for a person or an error page:
    // the sheet stays until it is closed.
    self->current_ = outcome.url;
    if (outcome.error) KVLog("The sign-in page failed: %s", outcome.error->localizedDescription().c_str());
  });
  return true;
}

void SFAuthenticationSession::cancel() {
  UI_MAIN_THREAD_ONLY();
  if (finished_) return;
  if (follower_) follower_->cancel();
  follower_.reset();
  complete(std::nullopt, makeError(SFAuthenticationErrorDomain, SFAuthenticationErrorCanceledLogin,
                                   "The user canceled the login"));
}

void SFAuthenticationSession::complete(std::optional<URL> callbackURL, ErrorRef error) {
  finished_ = true;
  auto completion = std::move(completion_);
  completion_ = nullptr;
  if (completion) completion(std::move(callbackURL), std::move(error));
}

std::vector<std::string> SFAuthenticationSession::startedURLs() {
  std::lock_guard<std::mutex> lock(gStartedMutex);
  return started();
}

void SFAuthenticationSession::clearStartedURLs() {
  std::lock_guard<std::mutex> lock(gStartedMutex);
  started().clear();
}
