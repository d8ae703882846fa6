#include "system/DeviceRootBuilder.h"

#include <unistd.h>

#include <filesystem>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "system/DeviceRoot.h"

namespace DeviceRootBuilder {
namespace {
std::string join(const std::string& root, const std::string& devicePath) { return root + devicePath; }

bool ensureFolder(const std::string& path, std::string* error) {
  std::error_code ec;
  std::filesystem::create_directories(path, ec);
  if (!ec && Files::isDirectory(path)) return true;
  if (error) *error = "cannot create " + path + ": " + (ec ? ec.message() : std::string("something else has its name"));
  return false;
}
}  // namespace

bool setSystemVersion(const std::string& root, const std::string& version) {
  Value plist = Value::dict({{"ProductName", "iPhone OS"},
                             {"ProductVersion", version},
                             {"ProductBuildVersion", "18D52"}});
  std::string path = join(root, DeviceRoot::kSystemVersionPlist);
  Files::createDirectories(Files::deletingLastPathComponent(path));
  return Files::writeAtomically(path, plist.toXMLPropertyList());
}

bool build(const std::string& root, const DeviceFacts& facts, std::string* error) {
  std::string clean = root;
  while (clean.size() > 1 && clean.back() == '/') clean.pop_back();
  // Refused before anything is written, not halfway through.
  if (!usableRoot(clean, error)) return false;
  const char* folders[] = {
      "/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/lib/dpkg/triggers", DeviceRoot::kPreferencesFolder,
      DeviceRoot::kApplicationSupport, DeviceRoot::kCachesFolder, DeviceRoot::kLogFolder, DeviceRoot::kDocumentsFolder,
      "/System/Library/CoreServices", "/etc/quillbark", "/etc/apt/sources.list.d", "/usr/libexec/quillbark",
      "/Applications", "/tmp",
  };
  for (const char* f : folders)
    if (!ensureFolder(join(root, f), error)) return false;

  // dpkg's database is one folder with two names, as on older jailbreaks.
  std::string libraryDpkg = join(root, "/Library/dpkg");
  if (!Files::exists(libraryDpkg)) {
    Files::createDirectories(join(root, "/Library"));
    if (::symlink("../var/lib/dpkg", libraryDpkg.c_str()) != 0) {
      if (error) *error = "cannot link " + libraryDpkg;
      return false;
    }
  }
  for (const char* file : {"/var/lib/dpkg/status", "/var/lib/dpkg/available", "/var/lib/dpkg/diversions",
                           "/var/lib/dpkg/statoverride"}) {
    std::string p = join(root, file);
    if (!Files::exists(p) && !Files::writeAtomically(p, std::string(), error)) return false;
  }
  std::string versionPlist = join(root, DeviceRoot::kSystemVersionPlist);
  if (!Files::exists(versionPlist) && !setSystemVersion(root, facts.systemVersion)) {
    if (error) *error = "cannot write " + versionPlist;
    return false;
  }
  std::string factsFile = join(root, DeviceRoot::kDeviceFactsFile);
  if (!Files::exists(factsFile)) {
    Value v = Value::dict({{"model", facts.model},
                           {"name", facts.deviceName},
                           {"udid", facts.udid},
                           {"cpuArchitecture", facts.cpuArchitecture}});
    if (!Files::writeAtomically(factsFile, v.toJSON(true) + "\n")) {
      if (error) *error = "cannot write " + factsFile;
      return false;
    }
  }
  if (!installPackageTools(clean, error) || !installToolStandIns(clean, error)) return false;
  std::string launcher = defaultLauncherSource();
  return launcher.empty() || installLauncher(clean, launcher, error);
}
}  // namespace DeviceRootBuilder
