#include "operations/KVQueueRunOutcome.h"

#include <sstream>

#include "core/DebianNames.h"
#include "database/KVRPackage.h"
#include "foundation/LocalizedStrings.h"
#include "operations/TextLines.h"

namespace {
std::string trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

// "com.example.tool:iphoneos-arm" names the package com.example.tool.
std::string withoutArchitecture(const std::string& name) { return name.substr(0, name.find(':')); }

struct DpkgErrors {
  std::map<std::string, std::string> packages;  // identifier -> dpkg's reason
  std::set<std::string> unpacking;              // of those, the archives dpkg could not unpack
  std::vector<std::string> archives;            // "archive: reason", of no package dpkg names
};

// The package an archive dpkg could not unpack holds: the one its reason names ("new X:arch
// package pre-installation script ..."), else the first part of APT's name for the file
// (package_version_architecture.deb); empty when neither names one.
std::string packageOfArchive(const std::string& path, const std::string& reason) {
  std::string rest = reason.rfind("new ", 0) == 0 ? reason.substr(4) : reason;
  size_t blank = rest.find(' ');
  if (blank != std::string::npos && rest.compare(blank, 9, " package ") == 0) {
    std::string name = withoutArchitecture(rest.substr(0, blank));
    if (DebianNames::isPackageName(name)) return name;
  }
  std::string file = path.substr(path.rfind('/') + 1);
  size_t underscore = file.find('_');
  std::string name = file.substr(0, underscore);
  return underscore != std::string::npos && DebianNames::isPackageName(name) ? name : std::string();
}

// dpkg's "error processing" lines, each followed by its reason on the next line.
DpkgErrors dpkgErrors(const std::vector<std::string>& lines) {
  const std::string package = "dpkg: error processing package ", archive = "dpkg: error processing archive ";
  DpkgErrors errors;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    bool isPackage = line.rfind(package, 0) == 0, isArchive = line.rfind(archive, 0) == 0;
    if (!isPackage && !isArchive) continue;
    size_t from = (isPackage ? package : archive).size();
    // "... (--unpack):" ends the line; the archive's path may hold blanks and brackets.
    size_t end = line.rfind(" (--");
    std::string name = line.substr(from, end == std::string::npos || end < from ? std::string::npos : end - from);
    std::string reason = i + 1 < lines.size() ? trimmed(lines[i + 1]) : std::string();
    if (isPackage) {
      errors.packages[withoutArchitecture(name)] = reason;
    } else if (std::string identifier = packageOfArchive(name, reason); !identifier.empty()) {
      errors.packages[identifier] = reason;
      errors.unpacking.insert(identifier);
    } else {
      errors.archives.push_back(name + ": " + reason);
    }
  }
  return errors;
}

// APT's "E: " lines beyond the one saying that dpkg failed, which the dpkg lines explain.
bool hasOtherAPTErrors(const std::vector<std::string>& lines) {
  for (const auto& line : lines)
    if (line.rfind("E: ", 0) == 0 && line.find("returned an error code") == std::string::npos) return true;
  return false;
}

bool isGone(const std::map<std::string, KVDpkgRecord>& records, const std::string& identifier) {
  auto it = records.find(identifier);
  if (it == records.end()) return true;
  std::string state = it->second.state();
  return state == "not-installed" || state == "config-files";
}

bool isUnfinished(const std::map<std::string, KVDpkgRecord>& records, const std::string& identifier) {
  auto it = records.find(identifier);
  return it != records.end() && it->second.isUnfinished();
}

// "needs configuring" or "not fully installed", as the package's row says.
std::string stateText(const KVDpkgRecord& record) {
  bool half = record.flag() == "reinstreq" || record.state() == KVRPackage::kHalfInstalledState;
  return *KVRPackage::unfinishedInstallText(std::string(half ? KVRPackage::kHalfInstalledState : record.state()));
}
}  // namespace

std::string KVQueueRunOutcome::reasonText(const std::string& dpkgReason) {
  // "installed X package post-installation script subprocess returned error exit status 1"
  const std::string script = " script subprocess ";
  size_t at = dpkgReason.find(script);
  if (at != std::string::npos) {
    size_t kindStart = dpkgReason.rfind(' ', at - 1);
    std::string kind = dpkgReason.substr(kindStart == std::string::npos ? 0 : kindStart + 1,
                                         at - (kindStart == std::string::npos ? 0 : kindStart + 1));
    std::string rest = dpkgReason.substr(at + script.size());
    const std::string status = "returned error exit status ", signal = "was killed by signal ";
    if (rest.rfind(status, 0) == 0)
      return NSLocalizedFormat("its %@ script failed (exit status %@)", {kind, rest.substr(status.size())});
    if (rest.rfind(signal, 0) == 0)
      return NSLocalizedFormat("its %@ script was killed (%@)", {kind, rest.substr(signal.size())});
  }
  if (dpkgReason.rfind("dependency problems", 0) == 0)
    return NSLocalizedString("packages it depends on are missing or not set up");
  return dpkgReason;
}

KVQueueRunOutcome KVQueueRunOutcome::judge(const std::map<std::string, KVDpkgRecord>& before,
                                           const std::map<std::string, KVDpkgRecord>& after, const std::string& queue,
                                           const std::set<std::string>& touched, const std::string& output,
                                           int32_t exitStatus,
                                           const std::function<std::string(const std::string&)>& nameOf) {
  KVQueueRunOutcome outcome;
  if (exitStatus == 0) {
    outcome.succeeded = true;
    return outcome;
  }
  const std::vector<std::string> lines = linesOf(output);
  DpkgErrors errors = dpkgErrors(lines);

  // The run's own packages, and whether each is where its queue wanted it.
  std::set<std::string> own = touched, queued;
  bool inPlace = true;
  std::istringstream tokens(queue);
  for (std::string token; tokens >> token;) {
    bool removal = token.back() == '-';
    if (removal || token.back() == '+') token.pop_back();
    std::string identifier = token.substr(0, token.find('=')), version;
    if (token.find('=') != std::string::npos) version = token.substr(token.find('=') + 1);
    own.insert(identifier);
    queued.insert(identifier);
    auto it = after.find(identifier);
    if (removal) inPlace = inPlace && isGone(after, identifier);
    else inPlace = inPlace && it != after.end() && it->second.isFullyInstalled() &&
                   (version.empty() || it->second.version == version);
  }

  auto reasonFor = [&](const std::string& identifier) {
    auto it = errors.packages.find(identifier);
    return it == errors.packages.end() || it->second.empty() ? std::string() : reasonText(it->second);
  };
  auto broken = [&](const std::string& identifier) {
    return !own.count(identifier) && isUnfinished(before, identifier);
  };
  std::set<std::string> named;
  std::string stoppedAt;  // the packages whose failure stopped the run, by name
  // dpkg's failures: of packages broken before the run, or the run's own.
  for (const auto& [identifier, reason] : errors.packages) {
    named.insert(identifier);
    std::string name = nameOf(identifier), why = reasonFor(identifier);
    stoppedAt += (stoppedAt.empty() ? "" : ", ") + name;
    auto now = after.find(identifier);
    bool unfinished = now != after.end() && now->second.isUnfinished();
    if (broken(identifier) && unfinished) {
      std::string text = stateText(now->second) == "needs configuring"
                             ? NSLocalizedFormat("%@ needed configuring before this queue, and still does", {name})
                             : NSLocalizedFormat("%@ was not fully installed before this queue, and still is not", {name});
      outcome.brokenBefore.push_back(why.empty() ? text : text + ": " + why);
      continue;
    }
    std::string text = name;
    if (now != after.end() && now->second.isFailedRemoval()) {
      // APT removes it again first in every run: a run that did not name it is held up by it.
      text = queued.count(identifier) ? NSLocalizedFormat("%@ was not removed", {name})
                                   : NSLocalizedFormat("%@ blocked this queue: its removal, which failed before, failed again",
                                                       {name});
    } else if (unfinished) {
      text = stateText(now->second) == "needs configuring" ? NSLocalizedFormat("%@ needs configuring", {name})
                                                           : NSLocalizedFormat("%@ is not fully installed", {name});
    }
    // Its archive was not unpacked: dpkg put back what was there.
    if (errors.unpacking.count(identifier) && !unfinished)
      text = NSLocalizedFormat(isGone(after, identifier) ? "%@ was not installed" : "%@ was not changed", {name});
    outcome.faults.push_back(why.empty() ? text : text + ": " + why);
  }
  for (const auto& archive : errors.archives) outcome.faults.push_back(archive);
  // The run's own packages dpkg left unfinished without a line of their own: the run
  // stopped before it set them up.
  for (const auto& identifier : own) {
    auto now = after.find(identifier);
    if (named.count(identifier) || now == after.end() || !now->second.isUnfinished()) continue;
    std::string text = NSLocalizedFormat(stateText(now->second) == "needs configuring" ? "%@ needs configuring"
                                                                                      : "%@ is not fully installed",
                                         {nameOf(identifier)});
    if (!stoppedAt.empty()) text += ": " + NSLocalizedFormat("the run stopped at the failure of %@ before setting it up", {stoppedAt});
    outcome.faults.push_back(text);
  }
  outcome.succeeded = inPlace && outcome.faults.empty() && !outcome.brokenBefore.empty() && !hasOtherAPTErrors(lines);
  return outcome;
}
