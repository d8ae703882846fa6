#include "system/DeviceRootBuilder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

bool within(const std::string& text, size_t least, size_t most, bool (*allowed)(unsigned char)) {
  return text.size() >= least && text.size() <= most &&
         std::all_of(text.begin(), text.end(), [allowed](char c) { return allowed(static_cast<unsigned char>(c)); });
}
bool isHexOrDash(unsigned char c) { return std::isxdigit(c) || c == '-'; }
bool isArchitectureCharacter(unsigned char c) { return std::islower(c) || std::isdigit(c) || c == '_'; }
bool isLineCharacter(unsigned char c) { return c >= 0x20 && c != 0x7f; }
bool isLetter(unsigned char c) { return std::isalpha(c); }
bool isDigit(unsigned char c) { return std::isdigit(c); }

// "iPhone10,3": a family's letters, then two numbers.
bool isModel(const std::string& model) {
  size_t digits = model.find_first_of("0123456789"), comma = model.find(',');
  return digits != std::string::npos && comma != std::string::npos && comma > digits &&
         within(model.substr(0, digits), 1, 16, isLetter) && within(model.substr(digits, comma - digits), 1, 3, isDigit) &&
         within(model.substr(comma + 1), 1, 3, isDigit);
}

enum class FactsFile { Missing, Usable, Damaged };

FactsFile checkFacts(DeviceFiles::Tree& tree) {
  if (!tree.hasEntry(DeviceRoot::kDeviceFactsFile)) return FactsFile::Missing;
  auto bytes = tree.read(DeviceRoot::kDeviceFactsFile, kMaxDeviceFactsBytes);
  auto json = bytes ? Value::fromJSON(*bytes) : std::nullopt;
  if (!json || !json->isDictionary()) return FactsFile::Damaged;
  for (const auto& key : json->keys())
    if (!usableFact(key, (*json)[key])) return FactsFile::Damaged;
  return FactsFile::Usable;
}

// The facts a root was first built with (its device facts file), else `given`.
DeviceFacts factsOf(DeviceFiles::Tree& tree, const DeviceFacts& given) {
  DeviceFacts facts = given;
  auto bytes = tree.read(DeviceRoot::kDeviceFactsFile, kMaxDeviceFactsBytes);
  auto json = bytes ? Value::fromJSON(std::string(bytes->begin(), bytes->end())) : std::nullopt;
  if (json && json->isDictionary()) {
    if (usableFact("model", (*json)["model"])) facts.model = (*json)["model"].asString();
    if (usableFact("cpuArchitecture", (*json)["cpuArchitecture"]))
      facts.cpuArchitecture = (*json)["cpuArchitecture"].asString();
  }
  auto plist = tree.read(DeviceRoot::kSystemVersionPlist, kMaxDeviceFactsBytes);
  auto version = plist ? Value::fromPropertyList(*plist) : std::nullopt;
  if (version && version->isDictionary())
    if (auto s = (*version)["ProductVersion"].stringPtr(); s && !s->empty()) facts.systemVersion = *s;
  return facts;
}

bool buildIn(DeviceFiles::Tree& tree, const DeviceFacts& given, std::string* error, bool* factsReplaced) {
  const char* folders[] = {
      "/var/lib/dpkg/info", "/var/lib/dpkg/updates", "/var/lib/dpkg/triggers", DeviceRoot::kPreferencesFolder,
      DeviceRoot::kApplicationSupport, DeviceRoot::kCachesFolder, DeviceRoot::kLogFolder, DeviceRoot::kDocumentsFolder,
      "/System/Library/CoreServices", "/etc/quillbark", "/etc/apt/sources.list.d", "/usr/libexec/quillbark",
      "/Applications", "/tmp",
      // Packages can add nothing at the top of the root (the sandbox sees it read-only):
      // the device's own top folders are there for them.
      "/private",
  };
  for (const char* f : folders)
    if (!tree.createFolders(f, error)) return false;

  // dpkg's database is one folder with two names, as on older jailbreaks.
  if (!tree.isFolder("/Library/dpkg")) {
    if (!tree.createFolders("/Library", error) || !tree.removeItem("/Library/dpkg", error) ||
        !tree.createLink("../var/lib/dpkg", "/Library/dpkg", error))
      return false;
  }
  // What dpkg reads there must be files: a named pipe would have it wait for good, a
  // link read what it names. (The status, dpkg's record of what is installed, is
  // writeDevicePackages' to look at: what no device has there is left for the
  // application to report, and it refuses the package tools meanwhile.)
  if (!tree.hasEntry("/var/lib/dpkg/status") && !tree.writeAtomically("/var/lib/dpkg/status", std::string(), error))
    return false;
  for (const char* file : {"/var/lib/dpkg/available", "/var/lib/dpkg/diversions", "/var/lib/dpkg/statoverride"}) {
    if (!DeviceRootParts::ensureRegularFile(tree, file, std::string(), error)) return false;
  }
  // A system version a package replaced by something no file reader takes (a link, a
  // named pipe, a file of any size) is written again.
  if (!tree.read(DeviceRoot::kSystemVersionPlist, kMaxDeviceFactsBytes)) {
    if (tree.hasEntry(DeviceRoot::kSystemVersionPlist) && !tree.removeItem(DeviceRoot::kSystemVersionPlist, error))
      return false;
    if (!writeSystemVersion(tree, given.systemVersion, error)) return false;
  }
  // A package can have put anything there: what no device would say is not kept, and
  // never keeps the device from starting.
  FactsFile factsFile = checkFacts(tree);
  if (factsReplaced) *factsReplaced = factsFile == FactsFile::Damaged;
  if (factsFile == FactsFile::Damaged && !tree.removeItem(DeviceRoot::kDeviceFactsFile, error)) return false;
  if (factsFile != FactsFile::Usable) {
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

bool usableFact(const std::string& key, const Value& value) {
  const std::string* text = value.stringPtr();
  if (key == "model") return text && isModel(*text);
  if (key == "cpuArchitecture") return text && within(*text, 1, 16, isArchitectureCharacter);
  if (key == "name") return text && within(*text, 0, 255, isLineCharacter);
  if (key == "udid" || key == "vendorIdentifier") return text && within(*text, 0, 64, isHexOrDash);
  return true;
}

bool build(const std::string& root, const DeviceFacts& facts, std::string* error, std::vector<std::string>* repairs,
           bool* factsReplaced) {
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
  bool built = buildIn(tree, facts, error, factsReplaced);
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
