#include "system/DeviceRootBuilder.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "launcher/RootOwnership.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootParts.h"

namespace DeviceRootBuilder {
namespace {
bool failWith(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

std::string withoutTrailingSlashes(std::string root) {
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root;
}

bool writeSystemVersion(DeviceFiles::Tree& tree, const std::string& version, std::string* error) {
  Value plist = Value::dict({{"ProductName", "iPhone OS"},
                             {"ProductVersion", version},
                             {"ProductBuildVersion", "18D52"}});
  const std::string path = DeviceRoot::kSystemVersionPlist;
  return tree.createFolders(Files::deletingLastPathComponent(path), error) &&
         tree.writeAtomically(path, plist.toXMLPropertyList(), error);
}

// The facts a root was first built with (its device facts file), else `given`.
DeviceFacts factsOf(DeviceFiles::Tree& tree, const DeviceFacts& given) {
  DeviceFacts facts = given;
  auto bytes = tree.read(DeviceRoot::kDeviceFactsFile);
  auto json = bytes ? Value::fromJSON(std::string(bytes->begin(), bytes->end())) : std::nullopt;
  if (json && json->isDictionary()) {
    if (auto s = (*json)["model"].stringPtr(); s && !s->empty()) facts.model = *s;
    if (auto s = (*json)["cpuArchitecture"].stringPtr(); s && !s->empty()) facts.cpuArchitecture = *s;
  }
  auto plist = tree.read(DeviceRoot::kSystemVersionPlist);
  auto version = plist ? Value::fromPropertyList(*plist) : std::nullopt;
  if (version && version->isDictionary())
    if (auto s = (*version)["ProductVersion"].stringPtr(); s && !s->empty()) facts.systemVersion = *s;
  return facts;
}

bool buildIn(DeviceFiles::Tree& tree, const DeviceFacts& given, std::string* error) {
  const char* folders[] = {
      "/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/lib/dpkg/triggers", DeviceRoot::kPreferencesFolder,
      DeviceRoot::kApplicationSupport, DeviceRoot::kCachesFolder, DeviceRoot::kLogFolder, DeviceRoot::kDocumentsFolder,
      "/System/Library/CoreServices", "/etc/quillbark", "/etc/apt/sources.list.d", "/usr/libexec/quillbark",
      "/Applications", "/tmp",
  };
  for (const char* f : folders)
    if (!tree.createFolders(f, error)) return false;

  // dpkg's database is one folder with two names, as on older jailbreaks.
  if (!tree.isFolder("/Library/dpkg")) {
    if (!tree.createFolders("/Library", error) || !tree.removeItem("/Library/dpkg", error) ||
        !tree.createLink("../var/lib/dpkg", "/Library/dpkg", error))
      return false;
  }
  for (const char* file : {"/var/lib/dpkg/status", "/var/lib/dpkg/available", "/var/lib/dpkg/diversions",
                           "/var/lib/dpkg/statoverride"}) {
    if (!tree.hasEntry(file) && !tree.writeAtomically(file, std::string(), error)) return false;
  }
  if (!tree.hasEntry(DeviceRoot::kSystemVersionPlist) && !writeSystemVersion(tree, given.systemVersion, error))
    return false;
  if (!tree.hasEntry(DeviceRoot::kDeviceFactsFile)) {
    Value v = Value::dict({{"model", given.model},
                           {"name", given.deviceName},
                           {"udid", given.udid},
                           {"cpuArchitecture", given.cpuArchitecture}});
    if (!tree.writeAtomically(DeviceRoot::kDeviceFactsFile, v.toJSON(true) + "\n", error)) return false;
  }
  if (!DeviceRootParts::writeDevicePackages(tree, factsOf(tree, given), error)) return false;
  if (!DeviceRootParts::installPackageTools(tree, error) || !DeviceRootParts::installToolStandIns(tree, error) ||
      !DeviceRootParts::installStaticShell(tree, error))
    return false;
  std::string launcher = defaultLauncherSource();
  return launcher.empty() || DeviceRootParts::installLauncher(tree, launcher, error);
}
}  // namespace

bool setSystemVersion(const std::string& root, const std::string& version, std::string* error) {
  DeviceFiles::Tree tree(withoutTrailingSlashes(root), true);
  if (!writeSystemVersion(tree, version, error)) return false;
  DeviceFacts facts = factsOf(tree, {});
  facts.systemVersion = version;
  return DeviceRootParts::writeDevicePackages(tree, facts, error);
}

bool build(const std::string& root, const DeviceFacts& facts, std::string* error, std::vector<std::string>* repairs) {
  std::string clean = withoutTrailingSlashes(root);
  // Refused before anything is written, not halfway through.
  if (!usableRoot(clean, error)) return false;
  std::error_code ec;
  std::filesystem::create_directories(clean, ec);
  if (ec || !Files::isDirectory(clean))
    return failWith(error, "cannot create " + clean + ": " +
                               (ec ? ec.message() : std::string("something else has its name")));
  // What packages install below may be set-user-id: no other user of the host reaches it.
  int folder = ::open(clean.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  bool secured = folder >= 0 && launcher::secureRootFolder(folder);
  std::string reason = std::strerror(errno);
  if (folder >= 0) ::close(folder);
  if (!secured) return failWith(error, "cannot keep other users out of " + clean + ": " + reason);
  // Everything below the root is package data: nothing is written through a link that
  // leaves it, and such a link where the device's own folders belong is put right.
  DeviceFiles::Tree tree(clean, true);
  bool built = buildIn(tree, facts, error);
  if (repairs) *repairs = tree.repairs();
  return built;
}

bool installPackageTools(const std::string& root, std::string* error) {
  if (!usableRoot(root, error)) return false;
  DeviceFiles::Tree tree(withoutTrailingSlashes(root), true);
  return DeviceRootParts::installPackageTools(tree, error);
}

bool installToolStandIns(const std::string& root, std::string* error) {
  if (!usableRoot(root, error)) return false;
  DeviceFiles::Tree tree(withoutTrailingSlashes(root), true);
  return DeviceRootParts::installToolStandIns(tree, error);
}

bool installLauncher(const std::string& root, const std::string& launcherSource, std::string* error) {
  if (!usableRoot(root, error)) return false;
  DeviceFiles::Tree tree(withoutTrailingSlashes(root), true);
  return DeviceRootParts::installLauncher(tree, launcherSource, error);
}

bool ensureLauncher(std::string* error) {
  std::string root = DeviceRoot::root();
  if (root.empty()) return true;  // a device's own launcher
  std::string source = defaultLauncherSource();
  if (source.empty()) return failWith(error, "no built launcher to put in the device root " + root);
  return installLauncher(root, source, error);
}
}  // namespace DeviceRootBuilder
