#pragma once
// What an APT dry run says a queue would do: six lists of package identifiers, each
// holding an identifier once, every change the simulated run makes, and why a queue
// can't be processed.
#include <string>
#include <vector>

// One package the simulated run changes, as APT's "Inst" and "Remv" lines say.
struct APTPlannedChange {
  enum Kind { Install, Upgrade, Downgrade, Reinstall, Remove };
  std::string identifier;
  Kind kind = Install;
  std::string fromVersion;  // installed now; empty for an install
  std::string toVersion;    // after the run; empty for a removal

  bool operator==(const APTPlannedChange&) const = default;
};

// A source whose list file APT could not read, which makes it refuse every command.
struct APTUnreadableSource {
  std::string location;
  std::string name;
  std::string reason;     // APT's words
  bool setAside = false;  // its list was taken out of APT's lists, so the others' packages install
  bool operator==(const APTUnreadableSource&) const = default;
};

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
  // Every package the run would change, in APT's order.
  std::vector<APTPlannedChange> changes;
  // Why the queue can't be processed as it is, in APT's words shortened to what a person
  // needs; empty when it can.
  std::vector<std::string> problems;
  // The sources whose lists APT could not read, in the order it met them.
  std::vector<APTUnreadableSource> unreadableSources;
  // Packages whose removal failed before (a script of theirs did), which APT removes again
  // first in every run: the queue does not name them, and another failure would stop it.
  std::vector<std::string> blockers;
  // What a person should know before confirming a queue that can be processed.
  std::vector<std::string> notes;
  // The queue names held packages, which were chosen by hand: its run may change them, as
  // this simulation did.
  bool allowsHeldChanges = false;

  // The change the run makes to a package, if any.
  const APTPlannedChange* changeFor(const std::string& identifier) const {
    for (const auto& c : changes)
      if (c.identifier == identifier) return &c;
    return nullptr;
  }
  bool operator==(const APTDependsTree&) const = default;
};
