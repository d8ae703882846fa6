#pragma once
// Reading a simulated apt-get run beyond its lists of names: what it would do to each
// package, and, when it can't go ahead, why.
#include <string>
#include <vector>

#include "operations/APTDependsTree.h"

namespace APTDryRunReading {
// The "Inst" and "Remv" lines: "Inst X [old] (new ...)" upgrades, downgrades or reinstalls
// by the order of the two versions, "Inst X (new ...)" installs, "Remv X [old]" removes.
std::vector<APTPlannedChange> changes(const std::string& output);
// The unmet dependencies and errors, shortened: "com.example.tool needs firmware (>= 12.0),
// but 11.0 is installed", "com.example.a conflicts with com.example.b", "no source offers
// com.example.gone", "com.example.tool needs A (>= 1) or B, and none can be installed" for
// alternatives. APT's closing line about held broken packages adds nothing.
std::vector<std::string> problems(const std::string& output);
// The held packages the run would change ("The following held packages will be changed:").
std::vector<std::string> heldChanges(const std::string& output);
}  // namespace APTDryRunReading
