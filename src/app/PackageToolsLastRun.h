#pragma once
// The package tools' last run in the device root may outlive the application that started
// it: a person left while it ran, or the application was killed. A start then waits for
// it before it touches the root or reads dpkg's records, so that what it shows (the
// pages, the installed packages, the changes) is what the run left.
#include <signal.h>

#include <optional>
#include <string>

class PackageToolsLastRun {
 public:
  // Waits while the last run goes on (the root's lock is held), saying on standard error
  // what it waits for. Answers what it waited for ("installing Example Tool", or a plain
  // "the package tools' last run") once the run has ended, nothing when no run went on,
  // and false in `started` when one of `signals` (blocked in every thread) came first.
  static std::optional<std::string> waitAtStart(const sigset_t& signals, bool* started);

  PackageToolsLastRun() = delete;
};
