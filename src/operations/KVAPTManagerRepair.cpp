// The start-up repair: what an install or removal cut off half way (a killed process
// tree, a lost battery) left behind, brought back before the next one, which dpkg would
// otherwise refuse for good.
#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

#include "core/DebianNames.h"
#include "core/KVConnections.h"
#include "core/ShellCommand.h"
#include "database/KVParsingUtility.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "launcher/RootLock.h"
#include "operations/KVAPTManager.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// Whether the package tools' last run in the root has ended (a killed launcher's sandbox
// still dying, or one at work after the application was killed), waiting up to `seconds`.
bool packageToolsAtRest(int seconds) {
  if (DeviceRoot::isRealDevice()) return true;
  int lock = launcher::openRootLock(DeviceRoot::root());
  bool atRest = lock < 0 || launcher::takeRootLock(lock, LOCK_SH, seconds);
  if (lock >= 0) ::close(lock);
  return atRest;
}

void tellTheUser(const std::vector<std::string>& unrepaired) {
  if (unrepaired.empty() || !KVConnections::installed()) return;
  KVAlertCard card{NSLocalizedString("Half-Installed Packages"),
                   NSLocalizedFormat("An install or removal was cut off, and these packages could not be brought "
                                     "back: %@. Install or remove them again.",
                                     {joined(unrepaired)}),
                   NSLocalizedString("OK"), "", nullptr};
  auto present = KVConnections::current("KVAPTManager")->environment.presentAlertCard;
  performOnMainThread([present, card = std::move(card)]() mutable { present(std::move(card)); });
}
}  // namespace

// The packages as dpkg itself would read them now: its status file and, over it, the
// journal of the changes made since the file was last written, which a run cut off
// leaves behind (one numbered file a change, applied in order). Each is read as dpkg's
// files are (a regular file, without waiting, within a ceiling); what is not is left out,
// and the package tools are refused meanwhile.
std::map<std::string, KVDpkgRecord> KVAPTManager::dpkgRecords() {
  std::map<std::string, KVDpkgRecord> records;
  auto read = [&records](const std::string& path) {
    auto unread = KVParsingUtility::enumeratePackagesOfDpkgFileAtPath(path, [&records](KVStanza& stanza) {
      std::string identifier = stanza.value("Package");
      if (!identifier.empty())
        records[identifier] = {stanza.value("Version"), stanza.value("Architecture"), stanza.value("Status")};
    });
    if (unread) KVLog("dpkg's records are read without it: %s", unread->c_str());
  };
  read(DeviceRoot::devicePath("/var/lib/dpkg/status"));
  const std::string journal = DeviceRoot::devicePath("/var/lib/dpkg/updates");
  std::vector<std::string> changes;
  for (const auto& name : Files::contentsOfDirectory(journal))
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
      changes.push_back(name);
  std::sort(changes.begin(), changes.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() < b.size() : a < b;
  });
  for (const auto& name : changes) read(journal + "/" + name);
  return records;
}

std::string KVDpkgRecord::word(int index) const {
  std::istringstream words(status);
  std::string word;
  for (int i = 0; i <= index && words >> word; ++i) {
    if (i == index) return word;
  }
  return {};
}

bool KVDpkgRecord::isUnfinished() const {
  const std::string want = this->want(), state = this->state();
  return (want == "install" || want == "hold") &&
         (flag() == "reinstreq" || state == "unpacked" || state == "half-configured" || state == "half-installed");
}

bool KVDpkgRecord::isFailedRemoval() const {
  const std::string want = this->want();
  return (want == "deinstall" || want == "purge") && (flag() == "reinstreq" || state() == "half-installed");
}

std::vector<KVHalfInstalledPackage> KVAPTManager::halfInstalledPackages() {
  std::vector<KVHalfInstalledPackage> found;
  for (const auto& [identifier, record] : dpkgRecords()) {
    // A package dpkg must reinstall, or whose files are half in place.
    if (record.flag() != "reinstreq" && record.state() != "half-installed") continue;
    found.push_back({identifier, record.version, record.architecture, record.want() == "deinstall" || record.want() == "purge"});
  }
  return found;
}

std::optional<std::string> KVAPTManager::removeHalfInstalledCommand(const std::string& identifier) {
  if (!DebianNames::isPackageName(identifier)) return std::nullopt;
  return launcherCommandLine("dpkg --remove --force-remove-reinstreq -- " + ShellCommand::word(identifier));
}

namespace {
// Whether the archives folder holds anything to remove at start: more than APT's lock
// file and an empty "partial" folder, or anything in place of those that is not what APT
// makes. Most starts find nothing, and a sandbox started before the first screen only to
// remove nothing cost about a fifth of the start's processor time.
bool archivesNeedRemoving(const std::string& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  if (!fs::is_directory(fs::symlink_status(folder, error))) return true;
  for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    const fs::file_status status = entry->symlink_status(error);
    if (name == "lock" && fs::is_regular_file(status)) continue;
    if (name == "partial" && fs::is_directory(status) && fs::is_empty(entry->path(), error) && !error) continue;
    return true;
  }
  return bool(error);
}
}  // namespace

void KVAPTManager::cleanUpArchivesAtLaunch() {
  if (!packageToolsAtRest(0)) return KVLog("Keeping the downloaded archives: the package tools' last run goes on");
  if (!archivesNeedRemoving(archivesPath())) return;
  if (halfInstalledPackages().empty()) return cleanUpArchivesIfNeeded();
  KVLog("Keeping the downloaded archives: the repair of half-installed packages reinstalls from them");
}

KVRepairOutcome KVAPTManager::fixPartiallyInstalledPackages() {
  KVRepairOutcome outcome;
  // What dpkg left is read once it has stopped changing it.
  if (!packageToolsAtRest(launcher::kRootLockWait)) KVLog("The package tools' last run goes on; repairing all the same");
  for (const auto& package : halfInstalledPackages()) {
    auto name = DebianNames::archiveFileName(package.identifier, package.version, package.architecture);
    std::string archive = name ? archivesPath() + "/" + *name : std::string();
    const char* id = package.identifier.c_str();
    if (!package.removing && !archive.empty() && Files::exists(archive)) {
      KVAPTCommandResult reinstall = commandResultForCommandAsRoot(installDPKGCommand(archive));
      if (reinstall.succeeded()) {
        KVLog("Reinstalled the half-installed %s %s from its downloaded archive", id, package.version.c_str());
        DeviceFiles::removeItem(archive);
        outcome.reinstalled.push_back(package.identifier);
      } else {
        KVLog("Could not reinstall the half-installed %s from its downloaded archive:\n\t%s", id,
              reinstall.output.c_str());
      }
      continue;
    }
    // A removal cut off, or nothing to reinstall from: it goes, as dpkg allows for a
    // package in this state.
    auto command = removeHalfInstalledCommand(package.identifier);
    KVAPTCommandResult removal = command ? commandResultForCommandAsRoot(*command) : KVAPTCommandResult{};
    if (removal.succeeded()) {
      if (package.removing) KVLog("Finished removing %s, which was cut off half way", id);
      else KVLog("Removed the half-installed %s %s: there was no archive to reinstall it from", id, package.version.c_str());
      outcome.removed.push_back(package.identifier);
    } else {
      KVLog("Could not remove the half-installed %s:\n\t%s", id, removal.output.c_str());
    }
  }
  runCommandAsRoot(fixPartiallyInstalledCommand(), {},
                   [] { KVLog("Fix unconfigured packages\n\t%s", output().value_or(std::string()).c_str()); });
  for (const auto& package : halfInstalledPackages()) outcome.unrepaired.push_back(package.identifier);
  if (!outcome.unrepaired.empty())
    KVLog("Could not repair the half-installed packages %s", joined(outcome.unrepaired).c_str());
  tellTheUser(outcome.unrepaired);
  return outcome;
}
