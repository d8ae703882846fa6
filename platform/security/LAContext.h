#pragma once
// The device owner's authentication (biometrics or passcode) in place of the platform's.
// This machine has neither, so by default the policy cannot be evaluated, as on a device
// with nothing set up. A setting gives the stand-in an owner who answers yes or no.
#include <functional>
#include <optional>
#include <string>

#include "foundation/Error.h"

inline constexpr const char* LAErrorDomain = "com.apple.LocalAuthentication";
enum : int64_t {
  LAErrorAuthenticationFailed = -1,
  LAErrorPasscodeNotSet = -5,
};

class LAContext {
 public:
  enum Policy : int { DeviceOwnerAuthentication = 2 };

  // Whether the policy can be evaluated; when not, why through `error`.
  bool canEvaluatePolicy(Policy policy, ErrorRef* error = nullptr) const;
  // Asks the owner, giving `localizedReason`; `reply` runs once, on a background queue.
  void evaluatePolicy(Policy policy, const std::string& localizedReason,
                      std::function<void(bool success, ErrorRef error)> reply) const;

  // The stand-in's owner: nothing (no authentication set up, the default), or what every
  // evaluation answers.
  static void setOwnerAnswer(std::optional<bool> answer);
};
