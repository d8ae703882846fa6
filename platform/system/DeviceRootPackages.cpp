// The entries a jailbroken device's dpkg status holds for the device itself, so that the
// "firmware (>= 12.0)" and "cy+model.iphone"-style dependencies of its packages resolve as
// they do on a device.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>
#include <vector>

#include "system/DeviceRoot.h"
#include "system/DeviceRootParts.h"
#include "system/DpkgStatusFile.h"

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

// The status's stanzas as they lie in its text, each its lines with their line feeds (the
// very last may lack one), without the blank lines between them.
std::vector<std::string_view> stanzasOf(std::string_view status) {
  std::vector<std::string_view> stanzas;
  size_t start = std::string_view::npos;  // of the stanza being read
  for (size_t pos = 0; pos < status.size();) {
    size_t newline = status.find('\n', pos);
    size_t lineEnd = newline == std::string_view::npos ? status.size() : newline;
    std::string_view line = status.substr(pos, lineEnd - pos);
    if (line.empty() || line == "\r") {
      if (start != std::string_view::npos) stanzas.push_back(status.substr(start, pos - start));
      start = std::string_view::npos;
    } else if (start == std::string_view::npos) {
      start = pos;
    }
    pos = newline == std::string_view::npos ? status.size() : newline + 1;
  }
  if (start != std::string_view::npos) stanzas.push_back(status.substr(start));
  return stanzas;
}

// The stanza with its final line feed.
std::string whole(std::string_view stanza) {
  std::string text(stanza);
  if (text.empty() || text.back() != '\n') text += '\n';
  return text;
}

std::string_view packageOf(std::string_view stanza) {
  if (stanza.substr(0, 9) != "Package: ") {
    size_t at = stanza.find("\nPackage: ");
    if (at == std::string_view::npos) return {};
    return packageOf(stanza.substr(at + 1));
  }
  size_t end = stanza.find('\n');
  return stanza.substr(9, end == std::string_view::npos ? std::string_view::npos : end - 9);
}

// The status as it is, read without waiting and within dpkg's ceiling. Nothing when it is
// not to be touched: what is there (a named pipe, a file larger than any device's) is
// what the application reports, and the package tools are refused until it is put right.
// A link in its place, or none, is read as an empty status and so replaced.
std::optional<std::string> currentStatus(DeviceFiles::Tree& tree, const std::string& path, time_t* modified) {
  int fd = tree.openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  const int openError = errno;
  DpkgStatusFile::Reader reader(fd, openError, path);
  if (reader.isMissing() || reader.isLink()) return std::string();
  if (!reader.isOpen()) return std::nullopt;
  struct stat st {};
  if (::fstat(reader.descriptor(), &st) == 0) *modified = st.st_mtim.tv_sec;
  std::string status;
  char buffer[1 << 16];
  for (ssize_t n; (n = reader.read(buffer, sizeof buffer)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    status.append(buffer, static_cast<size_t>(n));
  }
  return status;
}
}  // namespace

std::string devicePackagesStatus(const DeviceFacts& facts) {
  std::string out;
  for (const auto& p : pseudoPackages(facts)) out += stanzaOf(p) + "\n";
  return out;
}

bool writeDevicePackages(DeviceFiles::Tree& tree, const DeviceFacts& facts, std::string* error) {
  // dpkg keeps a list of each package's files; these have none.
  for (const auto& p : pseudoPackages(facts)) {
    std::string list = std::string(DeviceRoot::kDpkgAdminDir) + "/info/" + p.name + ".list";
    if (!tree.hasEntry(list) && !tree.writeAtomically(list, std::string(), error)) return false;
  }
  const std::string path = std::string(DeviceRoot::kDpkgAdminDir) + "/status";
  time_t modified = 0;
  auto status = currentStatus(tree, path, &modified);
  if (!status) return true;
  std::map<std::string, std::string, std::less<>> wanted;
  for (const auto& p : pseudoPackages(facts)) wanted[p.name] = stanzaOf(p);

  bool changed = status->empty();
  std::vector<std::string_view> stanzas = stanzasOf(*status);
  std::vector<std::string> replaced(stanzas.size());  // in place of the stanza, where not empty
  for (size_t i = 0; i < stanzas.size(); ++i) {
    auto it = wanted.find(packageOf(stanzas[i]));
    if (it == wanted.end()) continue;
    if (whole(stanzas[i]) != it->second) {
      replaced[i] = it->second;
      changed = true;
    }
    wanted.erase(it);
  }
  std::string added;
  for (const auto& p : pseudoPackages(facts)) {
    if (!wanted.count(p.name)) continue;
    added += wanted[p.name] + "\n";
    changed = true;
  }
  if (!changed) return true;
  std::string text;
  text.reserve(status->size() + added.size() + stanzas.size());
  for (size_t i = 0; i < stanzas.size(); ++i) {
    text += replaced[i].empty() ? whole(stanzas[i]) : replaced[i];
    text += '\n';
  }
  status.reset();
  text += added;
  if (!tree.writeAtomically(path, text, error)) return false;
  // APT knows the status by its size and its time in whole seconds: a new version of the
  // same length written within the second of the last change would go unseen.
  int fd = tree.openFile(path, O_RDONLY | O_NONBLOCK);
  struct stat after {};
  if (fd >= 0 && modified && ::fstat(fd, &after) == 0 && after.st_mtim.tv_sec <= modified) {
    struct timespec times[2] = {{0, UTIME_OMIT}, {modified + 1, 0}};
    ::futimens(fd, times);
  }
  if (fd >= 0) ::close(fd);
  return true;
}
}  // namespace DeviceRootParts
