#pragma once
// The platform's effects that the system asks for but does not carry out itself: running
// a command line, background-execution grants, the idle timer, presenting an alert card,
// the update badges and asking for the device owner's authentication. The composition root (src/app) fills one environment and start-up checks it whole
// (KVConnections::install): a missing piece stops the start, it never does nothing later.
// Tests fill every piece with recording ones.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// An alert card with a close button and one other button (none when `otherTitle` is
// empty).
struct KVAlertCard {
  std::string title;
  std::string message;
  std::string closeTitle;
  std::string otherTitle;
  std::function<void()> otherAction;
};

// The outcome of asking for the device owner's authentication (biometrics or passcode).
enum class KVOwnerAuthentication {
  Succeeded,
  Failed,       // the owner did not authenticate
  Unavailable,  // the device can't ask: nothing is set up
};

struct KVEnvironment {
  // Runs one shell command line and waits for it (uicache, killall, respring, reboot);
  // answers its exit status, -1 when it could not be started.
  std::function<int(const std::string& commandLine)> runCommand;
  // A background-execution grant: 0 when refused; `expiry` is called when it runs out.
  std::function<uint64_t(std::function<void()> expiry)> beginBackgroundTask;
  std::function<void(uint64_t grant)> endBackgroundTask;
  std::function<void(bool disabled)> setIdleTimerDisabled;
  // Presents the card over the top screen; called on the main thread.
  std::function<void(KVAlertCard card)> presentAlertCard;
  // Shows the number of packages with an update that is not held: the update tab's badge
  // ("%lu", none at 0) and the application icon's badge number; called on the main thread.
  std::function<void(uint64_t count)> showUpdateCount;
  // Asks for the device owner's authentication, giving `reason`; `reply` runs once, on
  // any thread.
  std::function<void(const std::string& reason, std::function<void(KVOwnerAuthentication)> reply)>
      authenticateDeviceOwner;

  // The names of the pieces that are not set.
  std::vector<std::string> missingPieces() const;
};
