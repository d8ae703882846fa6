#pragma once
// What an APT run that exited with an error did after all, read from dpkg's records before
// and after it and from dpkg's own error lines. APT sets up again every package dpkg left
// unfinished, in every run: a package whose script failed before fails again in the next
// run of another queue, which then exits with an error although its own packages are in
// place. Such a run did its work; the package broken before is named as such. A run whose
// own packages are not in place failed, and names the packages at fault with dpkg's reason.
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "operations/KVAPTManager.h"

struct KVQueueRunOutcome {
  // The run's own work is done: its errors are those of packages broken before it.
  bool succeeded = false;
  // The packages at fault, each with what went wrong ("Broken Thing needs configuring:
  // its post-installation script failed (exit status 1)").
  std::vector<std::string> faults;
  // Packages dpkg had not finished with before the run and still has not ("Broken Thing
  // needed configuring before this queue, and still does: ...").
  std::vector<std::string> brokenBefore;

  // `queue` is the queue string of the run; `touched` the identifiers its dry run said it
  // changes; `nameOf` gives a package's display name.
  static KVQueueRunOutcome judge(const std::map<std::string, KVDpkgRecord>& before,
                                 const std::map<std::string, KVDpkgRecord>& after, const std::string& queue,
                                 const std::set<std::string>& touched, const std::string& output, int32_t exitStatus,
                                 const std::function<std::string(const std::string&)>& nameOf);

  // dpkg's reason for a package's failure in a person's words: "its post-installation
  // script failed (exit status 1)"; other reasons as dpkg wrote them.
  static std::string reasonText(const std::string& dpkgReason);
};
