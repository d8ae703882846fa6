// The entries a jailbroken device's dpkg status holds for the device itself, so that the
// "firmware (>= 12.0)" and "cy+model.iphone"-style dependencies of its packages resolve as
// they do on a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <map>
#include <sstream>
#include <vector>

#include "system/DeviceRootParts.h"
#include "system/DeviceRoot.h"

namespace DeviceRootParts {
namespace {
struct PseudoPackage {
  std::string name, version, description;
};

// The numbers of a dotted version ("14.4.1" gives 14, 4, 1); missing ones are 0.
int versionPart(const std::string& version, size_t index) {
  std::istringstream in(version);
  std::string part;
  for (size_t i = 0; std::getline(in, part, '.'); ++i)
    if (i == index) return std::atoi(part.c_str());
  return 0;
}

// The CoreFoundation release of each system's first version, as packages test it.
std::string coreFoundationVersion(int major) {
  static const std::map<int, std::string> releases = {
      {7, "847.20"}, {8, "1140.10"}, {9, "1240.10"}, {10, "1348.00"}, {11, "1443.00"},
      {12, "1556.00"}, {13, "1665.15"}, {14, "1751.108"}, {15, "1854"}, {16, "1946.10"}, {17, "2048.1"}};
  auto at = releases.upper_bound(major);
  return at == releases.begin() ? releases.begin()->second : std::prev(at)->second;
}

std::vector<PseudoPackage> pseudoPackages(const DeviceFacts& facts) {
  // "iPhone10,3" is the model "iphone", version 10.3.
  std::string family, number;
  for (char c : facts.model) {
    if (std::isalpha(static_cast<unsigned char>(c)) && number.empty()) family += static_cast<char>(std::tolower(c));
    else number += c == ',' ? '.' : c;
  }
  int major = versionPart(facts.systemVersion, 0);
  // The kernel's major release is the system's plus six (14.x runs on Darwin 20).
  std::string kernel = std::to_string(major + 6) + "." + std::to_string(versionPart(facts.systemVersion, 1)) + ".0";
  return {
      {"firmware", facts.systemVersion, "the system the device runs"},
      {"cy+os.ios", facts.systemVersion, "virtual operating system dependency"},
      {"cy+cpu." + facts.cpuArchitecture, "0", "virtual CPU dependency"},
      {"cy+kernel.darwin", kernel, "virtual kernel dependency"},
      {"cy+model." + (family.empty() ? std::string("iphone") : family), number.empty() ? "0" : number,
       "virtual model dependency"},
      {"cy+lib.corefoundation", coreFoundationVersion(major), "virtual corefoundation dependency"},
  };
}

std::string stanzaOf(const PseudoPackage& p) {
  return "Package: " + p.name +
         "\nEssential: yes\nStatus: install ok installed\nPriority: required\nSection: System\nInstalled-Size: 0\n"
         "Maintainer: Device <root@localhost>\nArchitecture: iphoneos-arm\nVersion: " +
         p.version + "\nDescription: " + p.description + "\n";
}

// The status as its stanzas, each with its final line feed, without the blank lines
// between them.
std::vector<std::string> stanzasOf(const std::string& status) {
  std::vector<std::string> stanzas;
  std::string current;
  std::istringstream in(status);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line == "\r") {
      if (!current.empty()) stanzas.push_back(std::move(current));
      current.clear();
      continue;
    }
    current += line + "\n";
  }
  if (!current.empty()) stanzas.push_back(std::move(current));
  return stanzas;
}

std::string packageOf(const std::string& stanza) {
  if (stanza.compare(0, 9, "Package: ") != 0) {
    size_t at = stanza.find("\nPackage: ");
    if (at == std::string::npos) return {};
    return packageOf(stanza.substr(at + 1));
  }
  size_t end = stanza.find('\n');
  return stanza.substr(9, end == std::string::npos ? std::string::npos : end - 9);
}
}  // namespace

std::string devicePackagesStatus(const DeviceFacts& facts) {
  std::string out;
  for (const auto& p : pseudoPackages(facts)) out += stanzaOf(p) + "\n";
  return out;
}

bool writeDevicePackages(DeviceFiles::Tree& tree, const DeviceFacts& facts, std::string* error) {
  const std::string path = std::string(DeviceRoot::kDpkgAdminDir) + "/status";
  auto bytes = tree.read(path);
  // A status that can't be read (a link a package put in its place) is replaced.
  std::string status = bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
  std::map<std::string, std::string> wanted;
  for (const auto& p : pseudoPackages(facts)) wanted[p.name] = stanzaOf(p);

  bool changed = !bytes;
  std::vector<std::string> stanzas = stanzasOf(status);
  for (auto& stanza : stanzas) {
    auto it = wanted.find(packageOf(stanza));
    if (it == wanted.end()) continue;
    if (stanza != it->second) {
      stanza = it->second;
      changed = true;
    }
    wanted.erase(it);
  }
  for (const auto& p : pseudoPackages(facts)) {
    if (!wanted.count(p.name)) continue;
    stanzas.push_back(wanted[p.name]);
    changed = true;
  }
  // dpkg keeps a list of each package's files; these have none.
  for (const auto& p : pseudoPackages(facts)) {
    std::string list = std::string(DeviceRoot::kDpkgAdminDir) + "/info/" + p.name + ".list";
    if (!tree.hasEntry(list) && !tree.writeAtomically(list, std::string(), error)) return false;
  }
  if (!changed) return true;
  std::string text;
  for (const auto& s : stanzas) text += s + "\n";
  struct stat before {};
  int old = tree.openFile(path, O_RDONLY);
  bool hadTime = old >= 0 && ::fstat(old, &before) == 0;
  if (old >= 0) ::close(old);
  if (!tree.writeAtomically(path, text, error)) return false;
  // APT knows the status by its size and its time in whole seconds: a new version of the
  // same length written within the second of the last change would go unseen.
  int fd = tree.openFile(path, O_RDONLY);
  struct stat after {};
  if (fd >= 0 && hadTime && ::fstat(fd, &after) == 0 && after.st_mtim.tv_sec <= before.st_mtim.tv_sec) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {before.st_mtim.tv_sec + 1, 0}};
    ::futimens(fd, times);
  }
  if (fd >= 0) ::close(fd);
  return true;
}
}  // namespace DeviceRootParts
