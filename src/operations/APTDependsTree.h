#pragma once
// What an APT dry run says a queue would do: six lists of package identifiers, each
// holding an identifier once.
#include <string>
#include <vector>

struct APTDependsTree {
  // Fetched and installed: the queue's own install tokens and every package APT names
  // as newly installed, additionally installed or upgraded.
  std::vector<std::string> downloads;
  // Packages APT adds beyond the request.
  std::vector<std::string> depends;
  // The queue's removal tokens and every package APT would remove.
  std::vector<std::string> removes;
  std::vector<std::string> upgrades;
  // Newly installed, and dependencies APT reports as not going to be installed.
  std::vector<std::string> installs;
  // Packages of the unmet-dependency section whose dependency cannot be had at all.
  std::vector<std::string> incompatible;

  bool operator==(const APTDependsTree&) const = default;
};
