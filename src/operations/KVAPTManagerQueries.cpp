// Operations that ask APT and dpkg about packages and archives, and read their answers.
#include <algorithm>
#include <map>
#include <mutex>
#include <sstream>

#include "core/DebianNames.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "operations/TextLines.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

bool isNumber(const std::string& text) {
  if (text.empty()) return false;
  size_t i = text[0] == '-' ? 1 : 0;
  if (i == text.size()) return false;
  for (; i < text.size(); ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  return true;
}

// The identifiers of the section under a dry run's "REMOVED" heading.
std::vector<std::string> removedPackages(const std::string& output) {
  std::vector<std::string> out;
  bool inSection = false;
  for (const auto& l : linesOf(output)) {
    if (l.ends_with("The following packages will be REMOVED:")) {
      inSection = true;
      continue;
    }
    if (inSection && !l.empty() && (l[0] == ' ' || l[0] == '\t')) {
      for (auto& w : words(l)) out.push_back(w);
    } else {
      inSection = false;
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> KVAPTManager::dependsFromOutput(const std::string& output) {
  std::vector<std::string> out;
  for (const auto& l : linesOf(output)) {
    if (l.find("Depends: ") == std::string::npos) continue;
    auto w = words(l);  // "Depends:" then the package
    if (w.size() >= 2) out.push_back(w[1]);
  }
  return out;
}

std::vector<std::string> KVAPTManager::versionsFromListOutput(const std::string& output,
                                                              const std::string& identifier) {
  std::vector<std::string> out;
  for (const auto& l : linesOf(output)) {
    auto w = words(l);
    // "identifier/suite version architecture [state]"
    if (w.size() >= 2 && w[0].substr(0, w[0].find('/')) == identifier) out.push_back(w[1]);
  }
  return out;
}

std::vector<KVAPTVersionSource> KVAPTManager::versionSourcesFromPolicyOutput(const std::string& output) {
  std::vector<KVAPTVersionSource> out;
  bool inTable = false;
  std::optional<std::string> pendingVersion;
  for (const auto& l : linesOf(output)) {
    if (l.find("Version table:") != std::string::npos) {
      inTable = true;
      continue;
    }
    if (!inTable) continue;
    auto w = words(l);
    if (!w.empty() && w[0] == "***") w.erase(w.begin());
    if (w.size() == 2 && isNumber(w[1]) && !isNumber(w[0])) {
      pendingVersion = w[0];  // "version priority"
    } else if (w.size() >= 2 && isNumber(w[0])) {
      // "priority source...": the first 500 line after a version offers it
      if (pendingVersion && w[0] == "500") {
        std::string source = l.substr(l.find("500") + 3);
        source.erase(0, source.find_first_not_of(' '));
        out.push_back({*pendingVersion, source});
        pendingVersion.reset();
      }
    } else if (!l.empty() && l[0] != ' ') {
      inTable = false;  // the next package's block
    }
  }
  return out;
}

std::vector<std::string> KVAPTManager::depends(const std::string& identifier) {
  auto command = dependsCommand(identifier);
  if (!command) return {};
  auto out = resultsForCommandAsRoot(*command);
  return out ? dependsFromOutput(*out) : std::vector<std::string>{};
}

std::vector<std::string> KVAPTManager::unmetDependenciesFromArrayOfDependencies(
    const std::vector<std::string>& identifiers) {
  std::vector<std::string> unmet;
  for (const auto& identifier : identifiers) {
    auto command = dpkgStatusCommand(identifier);
    auto result = command ? commandResultForCommandAsRoot(*command) : KVAPTCommandResult{};
    std::string status = result.output;
    while (!status.empty() && (status.back() == '\n' || status.back() == ' ')) status.pop_back();
    if (!result.ran || status != "install ok installed") unmet.push_back(identifier);
  }
  return unmet;
}

std::vector<std::string> KVAPTManager::availableVersionsForIdentifier(
    const std::string& identifier, std::function<void(const std::vector<std::string>&)> block) {
  std::vector<std::string> versions;
  if (auto command = listVersionsCommand(identifier))
    if (auto out = resultsForCommandAsRoot(*command)) versions = versionsFromListOutput(*out, identifier);
  if (block) block(versions);
  return versions;
}

std::vector<KVAPTVersionSource> KVAPTManager::availableVersionsForIdentifierWithSourceInfo(
    const std::string& identifier, std::function<void(const std::vector<KVAPTVersionSource>&)> block) {
  std::vector<KVAPTVersionSource> versions;
  if (auto command = policyCommand(identifier))
    if (auto out = resultsForCommandAsRoot(*command)) versions = versionSourcesFromPolicyOutput(*out);
  if (block) block(versions);
  return versions;
}

std::optional<std::string> KVAPTManager::packageInfo(const std::string& archivePath, UpdateBlock update) {
  auto result = commandResultForCommandAsRoot(packageInfoCommand(archivePath), std::move(update));
  if (!result.ran) return std::nullopt;
  return result.output;
}

std::vector<std::string> KVAPTManager::installedFilesForIdentifer(const std::string& identifier) {
  // The identifier becomes part of a path: "../" must not reach another file.
  if (!DebianNames::isPackageName(identifier)) return {};
  auto text = Files::readText(DeviceRoot::devicePath("/Library/dpkg/info/" + identifier + ".list"));
  std::vector<std::string> out;
  if (!text) return out;
  for (auto& l : linesOf(*text))
    if (!l.empty()) out.push_back(l);
  return out;
}

void KVAPTManager::packagesInQueueThatDependOnPackage(const std::string& identifier, const std::string& queueString,
                                                      std::function<void(const std::vector<std::string>&)> block) {
  performOnBackgroundThread([identifier, block, queue = identifiersOfQueue(queueString)] {
    std::vector<std::string> dependents;
    if (DebianNames::isPackageName(identifier)) {
      auto result = dryRunForQueue(identifier + "-");
      for (const auto& removed : removedPackages(result.output))
        if (removed != identifier && std::find(queue.begin(), queue.end(), removed) != queue.end())
          dependents.push_back(removed);
    }
    if (block) block(dependents);
  });
}

std::vector<std::string> KVAPTManager::testAvailableVersions() {
  return availableVersionsForIdentifier("me.korvale.quillbark");
}

bool KVAPTManager::copyDebToSandboxFromPath(const std::string& path) {
  KVLog("DOWNLOAD COPY PATH (%s)", path.c_str());
  const std::string copy = archivesPath() + "/_tmp.deb";
  bool moved = false;
  DeviceFiles::removeItem(copy);
  if (DeviceFiles::copyFile(path, copy)) {
    auto result = commandResultForCommandAsRoot(debFieldsCommand(copy));
    std::map<std::string, std::string> fields;
    for (const auto& l : linesOf(result.output)) {
      auto colon = l.find(": ");
      if (colon != std::string::npos) fields[l.substr(0, colon)] = l.substr(colon + 2);
    }
    auto name = result.succeeded()
                    ? DebianNames::archiveFileName(fields["Package"], fields["Version"], fields["Architecture"])
                    : std::nullopt;
    if (!name) {
      KVLog("Cannot name the archive %s from: %s", path.c_str(), result.output.c_str());
    } else if (DeviceFiles::moveFile(path, archivesPath() + "/" + *name)) {
      KVLog("NEW DOWNLOAD COPY PATH (%s)", name->c_str());
      moved = true;
    }
  }
  DeviceFiles::removeItem(copy);
  return moved;
}
