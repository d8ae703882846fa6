// The queue string, its identifiers and the names its run shows, and the dry run that
// tells what the queue would do.
#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

#include "database/KVRPackage.h"
#include "database/KVRPackages.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "operations/APTDryRunReading.h"
#include "operations/KVAPTManager.h"

namespace {
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

std::vector<std::string> splitLines(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return out;
}

// A queue token without its "-" or "+" mark and its "=version": the identifier.
std::string identifierOfToken(std::string token) {
  if (!token.empty() && (token.back() == '-' || token.back() == '+')) token.pop_back();
  if (auto equals = token.find('='); equals != std::string::npos) token.resize(equals);
  return token;
}

// Identifiers, each once, in the order first seen.
class IdentifierSet {
 public:
  void add(const std::string& identifier) {
    if (!identifier.empty() && seen_.insert(identifier).second) items_.push_back(identifier);
  }
  bool contains(const std::string& identifier) const { return seen_.count(identifier) > 0; }
  const std::vector<std::string>& items() const { return items_; }

 private:
  std::vector<std::string> items_;
  std::set<std::string> seen_;
};

bool hasWhitespace(const std::string& text) {
  for (unsigned char c : text)
    if (std::isspace(c)) return true;
  return false;
}

bool hasLetterOrDigit(const std::string& text) {
  for (unsigned char c : text)
    if (std::isalnum(c)) return true;
  return false;
}

std::string withoutBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

// The names of a section: its lines joined, split at blanks, pieces with other white
// space (a tab) dropped.
std::vector<std::string> namesOf(const std::vector<std::string>& section) {
  std::string joined;
  for (const auto& line : section) joined += line;
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= joined.size()) {
    size_t end = joined.find(' ', start);
    if (end == std::string::npos) end = joined.size();
    std::string piece = joined.substr(start, end - start);
    if (!piece.empty() && !hasWhitespace(piece)) names.push_back(piece);
    start = end + 1;
  }
  return names;
}

const char* const kAdditional = "The following additional packages will be installed:";
const char* const kNew = "The following NEW packages will be installed:";
const char* const kUpgraded = "The following packages will be upgraded:";
const char* const kRemoved = "The following packages will be REMOVED:";
const char* const kUnmet = "The following packages have unmet dependencies:";
}  // namespace

std::string KVAPTManager::queueStringForKVRPackageArray(const std::vector<KVRPackage>& packages) {
  std::string text;
  for (const auto& package : packages) {
    std::string token = package.identifier();
    const auto& version = package.queuedVersion();
    if (version && !version->empty()) token += "=" + *version;
    // The stored operation decides; only a record without one falls back to its state.
    bool remove;
    if (auto operation = package.queueOperation()) {
      remove = *operation == KVQueueOperationRemove;
    } else {
      remove = !version && package.isInstalled().value_or(false) && !package.isUpdated().value_or(false);
    }
    if (remove) token += "-";
    text += (text.empty() ? "" : " ") + token;
  }
  return text;
}

std::vector<std::string> KVAPTManager::identifiersOfQueue(const std::string& queue) {
  std::vector<std::string> identifiers;
  for (const auto& token : words(queue)) identifiers.push_back(identifierOfToken(token));
  return identifiers;
}

APTDependsTree KVAPTManager::dependsTreeFromOutput(const std::string& queue, const std::string& output) {
  IdentifierSet downloads, depends, removes, upgrades, installs, incompatible;
  for (const auto& token : words(queue)) {
    if (token.back() == '-') removes.add(identifierOfToken(token));
    else downloads.add(token.substr(0, token.find('=')));
  }

  const std::vector<std::string> lines = splitLines(output);
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const char* heading = nullptr;
    for (const char* h : {kAdditional, kNew, kUpgraded, kRemoved, kUnmet})
      if (line.ends_with(h)) heading = h;
    if (!heading) continue;
    // The line after the heading always, then each line that begins with white space.
    std::vector<std::string> section;
    if (i + 1 < lines.size()) section.push_back(lines[i + 1]);
    for (size_t j = i + 2; j < lines.size(); ++j) {
      const std::string& next = lines[j];
      if (next.empty() || (next[0] != ' ' && next[0] != '\t')) break;
      section.push_back(next);
    }

    if (heading == kUnmet) {
      for (const auto& entry : section) {
        if (entry.empty() || !hasLetterOrDigit(entry) || entry.find(" : ") == std::string::npos) continue;
        if (entry.find("but it is not going to be installed") != std::string::npos) {
          size_t depends = entry.find(": Depends: ");
          if (depends == std::string::npos) continue;
          std::string rest = entry.substr(depends + 11);
          std::string name = withoutBlanks(rest.substr(0, rest.find(' ')));
          if (!installs.contains(name)) {
            installs.add(name);
            downloads.add(name);
          }
        } else {
          std::string name = withoutBlanks(entry.substr(0, entry.find(" : ")));
          if (!installs.contains(name)) incompatible.add(name);
        }
      }
      continue;
    }
    for (const auto& name : namesOf(section)) {
      if (heading == kAdditional) {
        downloads.add(name);
        depends.add(name);
      } else if (heading == kNew) {
        downloads.add(name);
        installs.add(name);
      } else if (heading == kUpgraded) {
        downloads.add(name);
        upgrades.add(name);
      } else {
        removes.add(name);
      }
    }
  }
  // Every package the run installs is fetched, a downgraded dependency too (APT lists it
  // under a heading of its own).
  auto changes = APTDryRunReading::changes(output);
  for (const auto& change : changes)
    if (change.kind != APTPlannedChange::Remove) downloads.add(change.identifier);
  APTDependsTree tree;
  tree.downloads = downloads.items();
  tree.depends = depends.items();
  tree.removes = removes.items();
  tree.upgrades = upgrades.items();
  tree.installs = installs.items();
  tree.incompatible = incompatible.items();
  tree.changes = std::move(changes);
  tree.problems = APTDryRunReading::problems(output);
  return tree;
}

APTDependsTree KVAPTManager::unmetDependenciesForPackages(const std::string& queue,
                                                         std::function<void(const APTDependsTree&)> block) {
  return unmetDependenciesForPackages(queue, {}, std::move(block));
}

APTDependsTree KVAPTManager::unmetDependenciesForPackages(const std::string& queue,
                                                         const std::vector<std::string>& archives,
                                                         std::function<void(const APTDependsTree&)> block) {
  if (words(queue).empty() && archives.empty()) return {};
  // A held package the queue names was chosen by hand (a version picked, an uninstall):
  // the run changes it as queued. Held packages it does not name stay as they are.
  std::set<std::string> heldInQueue;
  const auto records = dpkgRecords();
  for (const auto& identifier : identifiersOfQueue(queue))
    if (auto it = records.find(identifier); it != records.end() && it->second.want() == "hold") heldInQueue.insert(identifier);
  const bool allowHeldChanges = !heldInQueue.empty();
  KVAPTCommandResult result = dryRunForQueue(queue, archives, allowHeldChanges);
  std::vector<APTUnreadableSource> unreadable;
  while (result.ran && result.status != 0) {
    auto source = unreadableSourceInOutput(result.output);
    if (!source || std::any_of(unreadable.begin(), unreadable.end(),
                               [&](const auto& known) { return known.location == source->location; }))
      break;
    source->setAside = setAsideList(*source);
    unreadable.push_back(*source);
    if (!source->setAside) break;
    result = dryRunForQueue(queue, archives, allowHeldChanges);
  }
  // A busy runner or a refused queue printed nothing of APT's: only the queue's own tokens.
  const std::string output = result.ran ? result.output : std::string();
  KVLog("DEPENDS FULL %s", output.c_str());
  APTDependsTree tree = dependsTreeFromOutput(queue, output);
  tree.unreadableSources = std::move(unreadable);
  tree.allowsHeldChanges = allowHeldChanges;
  // APT knows no package built for another device: say so rather than that no source offers it.
  for (auto& problem : tree.problems) {
    const std::string lead = "no source offers ";
    if (problem.rfind(lead, 0) != 0) continue;
    std::string identifier = problem.substr(lead.size());
    auto record = KVRPackage::objectForPrimaryKey(Value(identifier));
    if (record && record->isForAnotherArchitecture())
      problem = NSLocalizedFormat("%@ is built for %@, not for this device", {identifier, *record->architecture()});
  }
  // A removal that failed before is tried again before anything else: said before Confirm,
  // so that the queue is not stopped by a package it does not name.
  const auto named = identifiersOfQueue(queue);
  for (const auto& change : tree.changes) {
    auto record = records.find(change.identifier);
    if (change.kind != APTPlannedChange::Remove || record == records.end() || !record->second.isFailedRemoval() ||
        std::find(named.begin(), named.end(), change.identifier) != named.end())
      continue;
    tree.blockers.push_back(change.identifier);
    tree.problems.push_back(NSLocalizedFormat("%@ blocks this queue: its removal failed, and APT tries it again first. "
                                              "Uninstall it again, or reinstall it",
                                              {change.identifier}));
  }
  for (const auto& identifier : APTDryRunReading::heldChanges(output)) {
    const APTPlannedChange* change = tree.changeFor(identifier);
    if (heldInQueue.count(identifier) && change && change->kind == APTPlannedChange::Remove)
      tree.notes.push_back(NSLocalizedFormat("%@ is held: confirming removes it all the same", {identifier}));
    else if (heldInQueue.count(identifier))
      tree.notes.push_back(NSLocalizedFormat("%@ is held: confirming installs %@ as queued, and it is held no longer",
                                             {identifier, change ? change->toVersion : std::string("it")}));
    else
      tree.problems.push_back(NSLocalizedFormat("%@ is held, and this queue would change it: show its updates first, "
                                                "or take out of the queue what needs it",
                                                {identifier}));
  }
  // A list still in APT's way is why the queue can't be processed, in a person's words.
  for (const auto& source : tree.unreadableSources)
    if (!source.setAside) tree.problems.insert(tree.problems.begin(), NSLocalizedFormat("APT can't read the packages of %@", {source.name}));
  // The simulation fails exactly when the queue can't be processed; that must be said
  // even where APT's words were not understood.
  if (!result.ran) {
    std::string reason = result.output.empty() ? "APT could not be asked about this queue" : result.output;
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == ' ')) reason.pop_back();
    tree.problems.push_back(reason.rfind("E: ", 0) == 0 ? reason.substr(3) : reason);
  } else if (result.status != 0 && tree.problems.empty()) {
    tree.problems.push_back("APT can't process this queue (exit status " + std::to_string(result.status) + ")");
  }
  if (block) block(tree);
  return tree;
}

std::map<std::string, std::string> KVAPTManager::packageNamesForTree(const APTDependsTree& tree) {
  std::map<std::string, std::string> names;
  auto name = [&](const std::string& identifier) {
    if (names.count(identifier)) return;
    auto record = KVRPackage::objectsWhere("identifier ==[c] %@", identifier).first();
    std::string text = record ? record->name().value_or("") : "";
    names[identifier] = text.empty() ? identifier : text;
  };
  for (const auto& identifier : tree.downloads) name(identifier);
  for (const auto& identifier : tree.removes) name(identifier);
  return names;
}
