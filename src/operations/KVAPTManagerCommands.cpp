// The command lines of the APT layer and the operations that run them.
#include <cctype>
#include <cstring>
#include <sstream>

#include "core/DebianNames.h"
#include "core/KVPlatform.h"
#include "core/ShellCommand.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
const char* kInstallTail = " --reinstall --fix-missing --fix-broken --quiet --assume-yes --allow-unauthenticated"
                           " --allow-downgrades --ignore-hold";
const char* kOlderSystemInstallTail = " --reinstall --fix-missing --fix-broken --quiet --assume-yes"
                                      " --allow-unauthenticated --ignore-hold";

std::string line(const std::string& inner) { return KVAPTManager::launcherCommandLine(inner); }
std::string cfg() { return KVAPTManager::configurationArgument(); }

// The queue string with each token quoted as a word, then the local archives' paths;
// nothing when a token or a path is unsafe.
std::optional<std::string> quotedQueue(const std::string& queue, const std::vector<std::string>& archives = {}) {
  if (DebianNames::queueError(queue)) return std::nullopt;
  std::string out;
  std::istringstream in(queue);
  for (std::string token; in >> token;) out += (out.empty() ? "" : " ") + ShellCommand::word(token);
  for (const auto& path : archives) {
    if (!KVAPTManager::isLocalArchivePath(path)) return std::nullopt;
    out += (out.empty() ? "" : " ") + ShellCommand::word(path);
  }
  return out;
}

// The launcher line of `before`, the identifier as a word, and `after`; nothing when
// the identifier is no Debian package name.
std::optional<std::string> lineAroundName(const std::string& before, const std::string& identifier,
                                          const std::string& after) {
  if (!DebianNames::isPackageName(identifier)) return std::nullopt;
  return line(before + ShellCommand::word(identifier) + after);
}
}  // namespace

std::string KVAPTManager::launcherPath() { return DeviceRoot::devicePath(DeviceRoot::kLauncherPath); }

std::string KVAPTManager::launcherCommandLine(const std::string& innerCommand) {
  return ShellCommand::word(launcherPath()) + " \"" + ShellCommand::insideDoubleQuotes(innerCommand) + "\"";
}

std::string KVAPTManager::configurationArgument() { return ShellCommand::word(configurationPath()); }

// Configures what was left unconfigured. apt-get asks before it installs or removes
// anything and reads no answer here, so the repair never fetches or removes a package
// on its own: one whose dependency is missing waits for the user.
std::string KVAPTManager::fixPartiallyInstalledCommand() {
  return line("dpkg --configure -a && apt-get install -f --config-file " + cfg() + " && dpkg --configure -a");
}

// The inner `apt-get VERB` line of a queue. A queue's run and its dry run are both made
// here, with the same options, so that the simulation decides as the run will (APT checks
// downgrades, held packages and essential removals against -y before it simulates).
std::optional<std::string> KVAPTManager::queueCommand(const std::string& verb, const std::string& queue,
                                                      const std::vector<std::string>& archives,
                                                      const KVAPTQueueOptions& options) {
  if (verb != "install" && verb != "remove" && verb != "upgrade") return std::nullopt;
  if (!archives.empty() && verb != "install") return std::nullopt;
  auto q = quotedQueue(queue, archives);
  if (!q) return std::nullopt;
  std::string inner = "apt-get " + verb + " " + *q + " --config-file " + cfg() +
                      (options.allowDowngrades || verb != "install" ? kInstallTail : kOlderSystemInstallTail);
  // Held packages the person queued by hand are changed as queued; others stay as held.
  if (options.allowHeldChanges) inner += " --allow-change-held-packages";
  // A simulation that prints the same lists and changes nothing. Without it apt-get asks
  // nothing when the queue changes no package beyond itself, so with the archives present
  // it would really install, as root. It lists the upgrades, which the lists need.
  if (options.simulate) inner += " --show-upgraded --simulate";
  return line(inner);
}

std::optional<std::string> KVAPTManager::dryRunCommand(const std::string& queue, const std::vector<std::string>& archives,
                                                       bool allowHeldChanges) {
  return queueCommand("install", queue, archives,
                      {systemVersionAllowsDowngrades(KVPlatform::firmwareVersion()), allowHeldChanges, true});
}

std::optional<std::string> KVAPTManager::aptGetCommand(const std::string& verb, const std::string& queue,
                                                       bool allowDowngrades, const std::vector<std::string>& archives) {
  return queueCommand(verb, queue, archives, {allowDowngrades, false, false});
}

std::optional<std::string> KVAPTManager::installCommand(const std::string& queue, const std::vector<std::string>& archives,
                                                        bool allowHeldChanges) {
  return queueCommand("install", queue, archives,
                      {systemVersionAllowsDowngrades(KVPlatform::firmwareVersion()), allowHeldChanges, false});
}

// APT reads an argument as an archive to install when it names a file ending in ".deb";
// a path of other characters than these (a device root's folder may hold blanks) could be
// read as a package name or an option, or break the index APT makes of the file.
bool KVAPTManager::isLocalArchivePath(const std::string& path) {
  if (path.size() < 6 || path.front() != '/' || !path.ends_with(".deb")) return false;
  for (unsigned char c : path)
    if (!std::isalnum(c) && !std::strchr("/._+~-% ", c)) return false;
  return path.find("/../") == std::string::npos && path.find("/./") == std::string::npos;
}

std::optional<std::string> KVAPTManager::aptMarkCommand(const std::string& verb, const std::string& identifier) {
  if (verb != "hold" && verb != "unhold") return std::nullopt;
  return lineAroundName("apt-mark " + verb + " ", identifier, " --config-file " + cfg());
}

std::optional<std::string> KVAPTManager::configureCommand(const std::string& identifier) {
  return lineAroundName("dpkg --configure -- ", identifier, "");
}

std::string KVAPTManager::generateCachesCommand() { return line("apt-cache gencaches --config-file " + cfg()); }

// Archive paths come after "--": a path that begins with "-" (an archive a user picked,
// say) is a file name, never an option such as --pre-invoke=, --admindir= or --log=.
std::string KVAPTManager::installDPKGCommand(const std::string& archivePath) {
  return line("dpkg -i -- " + ShellCommand::word(archivePath));
}

std::string KVAPTManager::debFieldsCommand(const std::string& archivePath) {
  return line("dpkg-deb -f -- " + ShellCommand::word(archivePath) + " Package Version Architecture");
}

std::string KVAPTManager::cleanUpArchivesCommand() { return line("rm -Rf " + ShellCommand::word(archivesPath())); }

std::optional<std::string> KVAPTManager::dependsCommand(const std::string& identifier) {
  return lineAroundName("apt-cache --no-generate depends ", identifier, " --config-file " + cfg());
}

std::optional<std::string> KVAPTManager::dpkgStatusCommand(const std::string& identifier) {
  return lineAroundName("dpkg-query -W --showformat='${Status}\n' ", identifier, "");
}

std::optional<std::string> KVAPTManager::listVersionsCommand(const std::string& identifier) {
  return lineAroundName("apt list -a ", identifier, " --config-file " + cfg());
}

std::optional<std::string> KVAPTManager::policyCommand(const std::string& identifier) {
  return lineAroundName("apt-cache policy ", identifier, " --config-file " + cfg());
}

std::string KVAPTManager::packageInfoCommand(const std::string& archivePath) {
  return line("dpkg -I -- " + ShellCommand::word(archivePath) + " control");
}

bool KVAPTManager::systemVersionAllowsDowngrades(const std::string& systemVersion) {
  std::istringstream in(systemVersion);
  const long required[] = {11, 0};
  for (long want : required) {
    std::string part;
    long have = 0;
    if (std::getline(in, part, '.')) have = std::strtol(part.c_str(), nullptr, 10);
    if (have != want) return have > want;
  }
  return true;
}

// --- Operations ---

namespace {
KVAPTCommandResult runOrRefuse(const std::optional<std::string>& commandLine, const std::string& reason,
                               const KVAPTManager::UpdateBlock& update) {
  if (!commandLine) return KVAPTManager::refusedCommand(reason, update);
  return KVAPTManager::commandResultForCommandAsRoot(*commandLine, update);
}

std::string queueReason(const std::string& queue, const std::vector<std::string>& archives = {}) {
  for (const auto& path : archives)
    if (!KVAPTManager::isLocalArchivePath(path)) return "Refused the package file \"" + path + "\": APT can't read its name";
  return "Refused the package queue: " + DebianNames::queueError(queue).value_or("it is not valid");
}

std::string nameReason(const std::string& identifier) {
  return "Refused the package identifier \"" + identifier + "\": it is not a Debian package name";
}
}  // namespace

KVAPTCommandResult KVAPTManager::refusedCommand(const std::string& reason, const UpdateBlock& update) {
  KVLog("Refusing an APT command: %s", reason.c_str());
  KVAPTCommandResult result;
  result.refused = true;
  result.status = kRefusedStatus;
  result.output = "E: " + reason + "\n";
  if (update) {
    update(result.output, result.output, false, 1);
    update(std::string(), result.output, true, result.status);
  }
  return result;
}

bool KVAPTManager::install(const std::string& queue, UpdateBlock update) {
  return installQueue(queue, std::move(update)).succeeded();
}

KVAPTCommandResult KVAPTManager::installQueue(const std::string& queue, UpdateBlock update) {
  return installQueue(queue, {}, std::move(update));
}

KVAPTCommandResult KVAPTManager::installQueue(const std::string& queue, const std::vector<std::string>& archives,
                                              UpdateBlock update) {
  return installQueue(queue, archives, false, std::move(update));
}

KVAPTCommandResult KVAPTManager::installQueue(const std::string& queue, const std::vector<std::string>& archives,
                                              bool allowHeldChanges, UpdateBlock update) {
  return runOrRefuse(installCommand(queue, archives, allowHeldChanges), queueReason(queue, archives), update);
}

bool KVAPTManager::remove(const std::string& queue, UpdateBlock update) {
  return runOrRefuse(aptGetCommand("remove", queue), queueReason(queue), update).succeeded();
}

bool KVAPTManager::upgrade(const std::string& queue, UpdateBlock update) {
  return runOrRefuse(aptGetCommand("upgrade", queue), queueReason(queue), update).succeeded();
}

KVAPTCommandResult KVAPTManager::configurePackage(const std::string& identifier, UpdateBlock update) {
  return runOrRefuse(configureCommand(identifier), nameReason(identifier), update);
}

bool KVAPTManager::hold(const std::string& identifier, UpdateBlock update) {
  return runOrRefuse(aptMarkCommand("hold", identifier), nameReason(identifier), update).succeeded();
}

bool KVAPTManager::unhold(const std::string& identifier, UpdateBlock update) {
  return runOrRefuse(aptMarkCommand("unhold", identifier), nameReason(identifier), update).succeeded();
}

bool KVAPTManager::installDPKG(const std::string& archivePath, UpdateBlock update) {
  return installArchive(archivePath, std::move(update)).succeeded();
}

KVAPTCommandResult KVAPTManager::installArchive(const std::string& archivePath, UpdateBlock update) {
  return commandResultForCommandAsRoot(installDPKGCommand(archivePath), update);
}

std::string KVAPTManager::generateCaches() { return resultsForCommandAsRoot(generateCachesCommand(), {}, {}); }

void KVAPTManager::cleanUpArchivesIfNeeded() {
  runCommandAsRoot(cleanUpArchivesCommand(), {}, [] {
    KVLog("Clear Archives:\n\t%s", output().value_or(std::string()).c_str());
    DeviceFiles::createFolder(archivesPath());
    DeviceFiles::createFolder(archivesPath() + "/partial");
  });
}

KVAPTCommandResult KVAPTManager::dryRunForQueue(const std::string& queue, const std::vector<std::string>& archives,
                                                bool allowHeldChanges) {
  return runOrRefuse(dryRunCommand(queue, archives, allowHeldChanges), queueReason(queue, archives), {});
}
