#include "operations/KVPackageAPTOperationTask.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <sstream>

#include "core/KVPipelineManager.h"
#include "core/KVQueueStateNotification.h"
#include "database/KVRPackages.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "operations/KVQueueRunOutcome.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"

namespace {
// Lines of APT's that say nothing to a person.
const char* const kNoise[] = {"WARNING: The following packages cannot be authenticated!",
                              "WARNING: apt does not have a stable CLI interface. Use with caution in scripts.",
                              "Authentication warning overridden.",
                              "Preparing to unpack ",
                              "Selecting previously unselected package",
                              " newly installed, ",
                              "(Reading database",
                              "Reading package lists",
                              "Building dependency tree",
                              "Reading state information"};

const std::pair<const char*, const char*> kHeadings[] = {
    {"The following NEW packages will be installed:", "Installing:"},
    {"The following packages will be upgraded:", "Upgrading:"},
    {"The following packages will be REMOVED:", "Removing:"},
    {"The following additional packages will be installed:", "Additional Required Packages:"}};

const char* const kSteps[] = {"Installing", "Removing", "Unpacking", "Processing", "Setting up",
                              "Additional Required Packages"};

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
}

bool isNameCharacter(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-';
}

// The identifiers that stand as package names in APT's and dpkg's words ("Unpacking X
// (1.0)", "Setting up X:iphoneos-arm", "package 'X'", a list of names) become their
// display names; the same letters inside a path or a file name
// ("/var/lib/dpkg/info/X.postinst", "X_1.0_iphoneos-arm.deb") stay as dpkg wrote them.
std::string withNames(const std::string& text, const std::map<std::string, std::string>& names) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (!isNameCharacter(text[i])) {
      out += text[i++];
      continue;
    }
    size_t end = i;
    while (end < text.size() && isNameCharacter(text[end])) ++end;
    std::string word = text.substr(i, end - i);
    // A full stop that ends a sentence is no part of the name.
    size_t wordEnd = end;
    while (!word.empty() && word.back() == '.' && (wordEnd == text.size() || std::isspace(static_cast<unsigned char>(text[wordEnd])))) {
      word.pop_back();
      --wordEnd;
    }
    const char before = i == 0 ? ' ' : text[i - 1];
    const char after = wordEnd == text.size() ? ' ' : text[wordEnd];
    bool standsAlone = (std::isspace(static_cast<unsigned char>(before)) || std::strchr("('\",", before)) &&
                       (std::isspace(static_cast<unsigned char>(after)) || std::strchr(":)'\",.", after));
    auto name = standsAlone ? names.find(word) : names.end();
    if (name != names.end()) {
      out += name->second;
      out += text.substr(wordEnd, end - wordEnd);
    } else {
      out += text.substr(i, end - i);
    }
    i = end;
  }
  return out;
}
}  // namespace

std::string KVPackageAPTOperationTask::doneStatusForQueue(const std::string& queue) {
  bool installs = false, removals = false;
  std::istringstream in(queue);
  for (std::string token; in >> token;) (token.back() == '-' ? removals : installs) = true;
  if (removals && !installs) return "Done Removing";
  return removals ? "Done Installing and Removing" : "Done Installing";
}

namespace {
// The identifiers of the queue string, then those of the archives.
std::vector<std::string> identifiersOf(const std::string& queue, const std::vector<KVLocalArchive>& archives) {
  std::vector<std::string> identifiers = KVAPTManager::identifiersOfQueue(queue);
  for (const auto& archive : archives) identifiers.push_back(archive.identifier);
  return identifiers;
}
}  // namespace

KVPackageAPTOperationTask::KVPackageAPTOperationTask(std::string packageIdentifiers,
                                                     std::map<std::string, std::string> names)
    : KVPackageAPTOperationTask(KVConfirmedQueue{std::move(packageIdentifiers), std::move(names), {}, false}) {}

KVPackageAPTOperationTask::KVPackageAPTOperationTask(KVConfirmedQueue queue)
    : packageIdentifiers_(std::move(queue.queueString)),
      archives_(std::move(queue.archives)),
      identifiers_(identifiersOf(packageIdentifiers_, archives_)),
      names_(std::move(queue.packageNames)),
      allowHeldChanges_(queue.allowHeldChanges) {}

std::string KVPackageAPTOperationTask::taskID() const {
  std::string id = packageIdentifiers_;
  for (const auto& archive : archives_) id += (id.empty() ? "" : " ") + archive.identifier;
  return "Install-" + id;
}

std::string KVPackageAPTOperationTask::pipelineID() const { return KVPipelinePackageATPInstallOperation; }

std::vector<std::string> KVPackageAPTOperationTask::queuedIdentifiers() const { return identifiers_; }

namespace {
std::string listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i)
    text += (i == 0 ? "" : i + 1 == names.size() ? NSLocalizedString(" and ") : ", ") + names[i];
  return text;
}
}  // namespace

std::string KVPackageAPTOperationTask::workDescription() const {
  std::vector<std::string> installs, removals;
  auto nameOf = [this](const std::string& identifier) {
    auto name = names_.find(identifier);
    return name == names_.end() || name->second.empty() ? identifier : name->second;
  };
  std::istringstream in(packageIdentifiers_);
  for (std::string token; in >> token;) {
    bool removal = token.back() == '-';
    std::vector<std::string> one = KVAPTManager::identifiersOfQueue(token);
    if (!one.empty()) (removal ? removals : installs).push_back(nameOf(one.front()));
  }
  for (const auto& archive : archives_) installs.push_back(nameOf(archive.identifier));
  if (removals.empty()) return NSLocalizedFormat("installing %@", {listed(installs)});
  if (installs.empty()) return NSLocalizedFormat("removing %@", {listed(removals)});
  return NSLocalizedFormat("installing %@ and removing %@", {listed(installs), listed(removals)});
}

void KVPackageAPTOperationTask::updateGetButton() const {
  for (const auto& identifier : queuedIdentifiers())
    NotificationCenter::defaultCenter().post(KVQueueStateNotificationName(identifier), Value(),
                                             Value::dict({{"Message", "Finished Operation"}}));
}

std::optional<std::string> KVPackageAPTOperationTask::shownText(const std::string& piece,
                                                                const std::map<std::string, std::string>& names,
                                                                bool& lastWasLineFeed) {
  if (lastWasLineFeed && piece == "\n") return std::nullopt;
  for (const char* noise : kNoise)
    if (piece.find(noise) != std::string::npos) return std::nullopt;
  lastWasLineFeed = piece == "\n";
  std::string text = withNames(piece, names);
  for (const auto& [heading, shortText] : kHeadings) {
    if (text.find(heading) == std::string::npos) continue;
    lastWasLineFeed = true;  // a heading counts as a line feed
    replaceAll(text, heading, shortText);
  }
  for (const char* step : kSteps) {
    if (text.rfind(step, 0) == 0) {
      text = "\n" + text;
      break;
    }
  }
  return text;
}

void KVPackageAPTOperationTask::taskStart() {
  beginCommand(NSLocalizedString("Preparing Package Queue ...\n"));
  before_ = KVAPTManager::dpkgRecords();
  auto self = std::static_pointer_cast<KVPackageAPTOperationTask>(shared_from_this());
  std::vector<std::string> archives;
  for (const auto& archive : archives_) archives.push_back(archive.path);
  KVAPTCommandResult result = KVAPTManager::installQueue(
      packageIdentifiers_, archives, allowHeldChanges_,
      [self](const std::string& piece, const std::string& whole, bool finished, int32_t status) {
        self->handleOutput(piece, whole, finished, status);
      });
  if (!result.ran) removeArchives();
  // Refused because another command runs: no output ever came, so no end either.
  if (!result.ran && !result.refused) endRefusedAsBusy("Queue Completed with errors!", [self] { self->updateGetButton(); });
}

void KVPackageAPTOperationTask::handleOutput(const std::string& piece, const std::string& whole, bool finished,
                                             int32_t status) {
  if (auto text = shownText(piece, names_, lastWasLineFeed_)) showOutput(*text);
  if (!finished) return;

  // Whatever the run did, none of its packages stays queued and no archive stays behind.
  // Packages queued since it was confirmed are another queue, which stays.
  if (auto db = store::Database::openDefaultDatabase()) {
    if (ErrorRef error = KVRPackages::clearQueueState(**db, identifiers_))
      KVLog("The queue state was not cleared: %s", error->localizedDescription().c_str());
  }
  KVAPTManager::cleanUpArchivesIfNeeded();
  removeArchives();
  auto self = std::static_pointer_cast<KVPackageAPTOperationTask>(shared_from_this());
  endAfterStatusImport(
      status, whole, "Queue Completed with errors!", "APT returned an error while performing operations:\n",
      [self] { self->updateGetButton(); }, doneStatusForQueue(packageIdentifiers_),
      [self](int32_t exitStatus, const std::string& output) { return self->judge(exitStatus, output); });
}

void KVPackageAPTOperationTask::removeArchives() const {
  for (const auto& archive : archives_) {
    std::string error;
    if (!DeviceFiles::removeItem(archive.path, &error))
      KVLog("The package file %s was not deleted: %s", archive.path.c_str(), error.c_str());
  }
}

KVRunVerdict KVPackageAPTOperationTask::judge(int32_t exitStatus, const std::string& output) const {
  std::set<std::string> touched;
  for (const auto& [identifier, name] : names_) touched.insert(identifier);
  auto nameOf = [this](const std::string& identifier) {
    if (auto it = names_.find(identifier); it != names_.end()) return it->second;
    auto record = KVRPackage::objectsWhere("identifier ==[c] %@", identifier).first();
    std::string name = record ? record->name().value_or("") : "";
    return name.empty() ? identifier : name;
  };
  // The archives are wanted installed at their own versions, as the queue's tokens are.
  std::string queue = packageIdentifiers_;
  for (const auto& archive : archives_)
    queue += (queue.empty() ? "" : " ") + archive.identifier + (archive.version.empty() ? "" : "=" + archive.version);
  KVQueueRunOutcome outcome =
      KVQueueRunOutcome::judge(before_, KVAPTManager::dpkgRecords(), queue, touched, output, exitStatus, nameOf);
  if (outcome.succeeded) return {true, {}, outcome.brokenBefore};
  std::vector<std::string> faults = outcome.faults;
  faults.insert(faults.end(), outcome.brokenBefore.begin(), outcome.brokenBefore.end());
  return {false, faults, {}};
}
