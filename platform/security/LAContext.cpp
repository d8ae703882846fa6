#include "security/LAContext.h"

#include <mutex>

#include "foundation/Dispatch.h"

namespace {
std::mutex gMutex;
std::optional<bool> gOwnerAnswer;

std::optional<bool> ownerAnswer() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gOwnerAnswer;
}
}  // namespace

bool LAContext::canEvaluatePolicy(Policy, ErrorRef* error) const {
  if (ownerAnswer()) return true;
  if (error) *error = makeError(LAErrorDomain, LAErrorPasscodeNotSet, "Passcode not set.");
  return false;
}

void LAContext::evaluatePolicy(Policy policy, const std::string&,
                               std::function<void(bool success, ErrorRef error)> reply) const {
  ErrorRef error;
  std::optional<bool> answer = ownerAnswer();
  if (!canEvaluatePolicy(policy, &error)) answer = false;
  else if (!*answer) error = makeError(LAErrorDomain, LAErrorAuthenticationFailed, "Authentication failed.");
  DispatchQueue::globalDefault().async([reply = std::move(reply), success = *answer, error] {
    if (reply) reply(success, error);
  });
}

void LAContext::setOwnerAnswer(std::optional<bool> answer) {
  std::lock_guard<std::mutex> lock(gMutex);
  gOwnerAnswer = answer;
}
