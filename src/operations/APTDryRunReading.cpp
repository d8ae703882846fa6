#include "operations/APTDryRunReading.h"

#include <sstream>

#include "database/NSStringVersionCompare.h"
#include "operations/TextLines.h"

namespace APTDryRunReading {
namespace {
std::string trimmed(const std::string& text) {
  size_t start = text.find_first_not_of(" \t\r");
  if (start == std::string::npos) return {};
  return text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
}

// The text between `open` and `close` after `from`, and where it ends; empty when absent.
std::string between(const std::string& text, char open, char close, size_t from, size_t* end = nullptr) {
  size_t a = text.find(open, from);
  size_t b = a == std::string::npos ? std::string::npos : text.find(close, a + 1);
  if (b == std::string::npos) return {};
  if (end) *end = b + 1;
  return text.substr(a + 1, b - a - 1);
}

// "Depends: firmware (>= 12.0) but 11.0 is to be installed" said of `package`, for a person.
std::string relationProblem(const std::string& package, const std::string& relation) {
  size_t colon = relation.find(": ");
  if (colon == std::string::npos) return package + ": " + relation;
  std::string kind = relation.substr(0, colon), rest = relation.substr(colon + 2);
  std::string target = rest, why;
  if (size_t but = rest.find(" but "); but != std::string::npos) {
    target = rest.substr(0, but);
    why = rest.substr(but + 5);
  }
  if (kind == "Conflicts" || kind == "Breaks")
    return package + (kind == "Conflicts" ? " conflicts with " : " breaks ") + target;
  std::string text = package + " needs " + target;
  if (why == "it is not installable") return text + ", which no source offers";
  if (why == "it is not going to be installed") return text + ", which can't be installed with this queue";
  // "14.4 is to be installed", "11.0 is installed": the version there is.
  if (size_t is = why.find(" is "); is != std::string::npos) {
    std::string version = why.substr(0, is);
    if (target == "firmware" || target.rfind("firmware ", 0) == 0) return text + "; the device has " + version;
    return text + (why.ends_with(" is installed") ? ", but " + version + " is installed"
                                                  : ", but only " + version + " is available");
  }
  return why.empty() ? text : text + " (" + why + ")";
}

// A relation any one of whose alternatives would do, none of which can be had:
// "com.example.tool needs A (>= 1) or B, and none can be installed".
std::string alternativesProblem(const std::string& package, const std::string& kind,
                                const std::vector<std::string>& alternatives) {
  std::string targets;
  for (size_t i = 0; i < alternatives.size(); ++i)
    targets += (i == 0 ? "" : i + 1 == alternatives.size() ? " or " : ", ") + alternatives[i];
  if (kind == "Conflicts" || kind == "Breaks")
    return package + (kind == "Conflicts" ? " conflicts with " : " breaks ") + targets;
  return package + " needs " + targets + ", and none can be installed";
}
}  // namespace

std::vector<APTPlannedChange> changes(const std::string& output) {
  std::vector<APTPlannedChange> out;
  for (const auto& line : linesOf(output)) {
    bool install = line.rfind("Inst ", 0) == 0, remove = line.rfind("Remv ", 0) == 0;
    if (!install && !remove) continue;
    APTPlannedChange change;
    size_t nameEnd = line.find(' ', 5);
    change.identifier = line.substr(5, nameEnd == std::string::npos ? std::string::npos : nameEnd - 5);
    if (change.identifier.empty()) continue;
    size_t after = 5 + change.identifier.size();
    // The installed version in brackets comes first, when there is one.
    if (after < line.size() && line.compare(after, 2, " [") == 0) change.fromVersion = between(line, '[', ']', after, &after);
    if (remove) {
      change.kind = APTPlannedChange::Remove;
    } else {
      std::string target = between(line, '(', ')', after);
      change.toVersion = target.substr(0, target.find(' '));
      if (change.fromVersion.empty()) change.kind = APTPlannedChange::Install;
      else {
        int order = NSStringVersionCompare::compareVersion(change.toVersion, change.fromVersion);
        change.kind = order > 0 ? APTPlannedChange::Upgrade : order < 0 ? APTPlannedChange::Downgrade
                                                                        : APTPlannedChange::Reinstall;
      }
    }
    out.push_back(std::move(change));
  }
  return out;
}

std::vector<std::string> problems(const std::string& output) {
  std::vector<std::string> out;
  bool unmet = false;
  std::string package;  // the package the unmet lines are about
  // The relation being read and its alternatives so far: APT ends each alternative but
  // the last with " or" and puts the next on a line of its own.
  std::string kind;
  std::vector<std::string> alternatives;
  auto closeGroup = [&] {
    if (alternatives.size() > 1) out.push_back(alternativesProblem(package, kind, alternatives));
    alternatives.clear();
  };
  for (const auto& line : linesOf(output)) {
    if (line.rfind("E: ", 0) == 0) {
      closeGroup();
      unmet = false;
      std::string message = line.substr(3);
      // The held packages are named from their own list, with what to do.
      if (message.rfind("Unable to correct problems", 0) == 0 || message.rfind("Couldn't find any package by", 0) == 0 ||
          message.rfind("Held packages were changed", 0) == 0)
        continue;
      if (message.rfind("Unable to locate package ", 0) == 0) {
        out.push_back("no source offers " + message.substr(25));
      } else if (message.rfind("Version '", 0) == 0 && message.find("' was not found") != std::string::npos) {
        // "Version '9' for 'com.example.tool' was not found"
        size_t end = 0;
        std::string version = between(message, '\'', '\'', 0, &end);
        std::string name = between(message, '\'', '\'', message.find("for", end) + 3);
        out.push_back("no source offers " + name + " version " + version);
      } else {
        out.push_back(message);
      }
      continue;
    }
    if (line.ends_with("The following packages have unmet dependencies:")) {
      unmet = true;
      continue;
    }
    if (!unmet) continue;
    if (line.empty() || (line[0] != ' ' && line[0] != '\t')) {
      closeGroup();
      unmet = false;
      continue;
    }
    // " X : Depends: Y but ..." or, for the same X, an indented "Depends: Z ...", or the
    // next alternative of the relation before.
    std::string entry = trimmed(line);
    if (size_t sep = entry.find(" : "); sep != std::string::npos) {
      closeGroup();
      package = entry.substr(0, sep);
      entry = entry.substr(sep + 3);
    }
    if (package.empty() || entry.empty()) continue;
    const bool more = entry.ends_with(" or");
    if (more) entry.resize(entry.size() - 3);
    if (alternatives.empty()) {
      if (!more) {
        out.push_back(relationProblem(package, entry));
        continue;
      }
      size_t colon = entry.find(": ");
      kind = colon == std::string::npos ? std::string() : entry.substr(0, colon);
      if (colon != std::string::npos) entry = entry.substr(colon + 2);
    }
    alternatives.push_back(entry.substr(0, entry.find(" but ")));
    if (!more) closeGroup();
  }
  closeGroup();
  return out;
}

std::vector<std::string> heldChanges(const std::string& output) {
  std::vector<std::string> out;
  bool held = false;
  for (const auto& line : linesOf(output)) {
    if (line == "The following held packages will be changed:") {
      held = true;
      continue;
    }
    if (!held) continue;
    if (line.empty() || line[0] != ' ') break;
    std::istringstream names(line);
    for (std::string name; names >> name;) out.push_back(name);
  }
  return out;
}
}  // namespace APTDryRunReading
