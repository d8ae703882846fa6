// The private APT tree: its folders, configuration file, sources list and list files.
#include "operations/KVAPTManager.h"

#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>

#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "core/KVKnownRepositories.h"
#include "system/DeviceRoot.h"

namespace {
// Edits of "APT/sources.list" are read-modify-write; concurrent refreshes would lose
// lines without this.
std::mutex gSourcesListMutex;

void replaceAll(std::string& text, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  for (size_t pos = text.find(from); pos != std::string::npos; pos = text.find(from, pos + to.size()))
    text.replace(pos, from.size(), to);
}

std::string trimmed(std::string text, const char* characters) {
  size_t start = text.find_first_not_of(characters);
  if (start == std::string::npos) return {};
  size_t end = text.find_last_not_of(characters);
  return text.substr(start, end - start + 1);
}

void makeFolder(const std::string& path) { ::mkdir(path.c_str(), 0755); }  // no parents; errors ignored

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string readSourcesList() { return Files::readText(KVAPTManager::sourcesListPath()).value_or(std::string()); }

void writeSourcesList(const std::string& text) { Files::writeAtomically(KVAPTManager::sourcesListPath(), text); }

// "Name" of a list file: the sources-list line reduced as APT names its files.
std::string listFileName(const std::string& location, bool release) {
  std::string line = KVAPTManager::debSourceForSource(location);
  replaceAll(line, "deb https://", "");
  replaceAll(line, "deb http://", "");
  bool flat = line.find(" ./") != std::string::npos;
  std::string name;
  if (flat) {
    replaceAll(line, " ./\n", "");
    name = line;
  } else {
    size_t firstBlank = line.find(' ');
    std::string url = line.substr(0, firstBlank);
    std::string rest = firstBlank == std::string::npos ? std::string() : line.substr(firstBlank);
    size_t secondBlank = rest.find(' ', 1);
    std::string distribution = rest.substr(1, secondBlank == std::string::npos ? std::string::npos : secondBlank - 1);
    name = release ? url + "dists_" + distribution : url + "dists" + rest;
  }
  replaceAll(name, "/", "_");
  replaceAll(name, " ", "_");
  name = trimmed(trimmed(name, "\n"), " ");
  const char* suffix = flat ? (release ? "._Release" : "._Packages")
                            : (release ? "_Release" : "_binary-iphoneos-arm_Packages");
  return KVAPTManager::listsPath() + "/" + name + suffix;
}

bool writeListFile(const std::string& path, const std::string& text, StringEncoding encoding, const char* what) {
  std::string error;
  auto bytes = encodeString(text, encoding);
  if (!bytes) error = std::string("the text can't be written in ") + stringEncodingName(encoding);
  else if (Files::writeAtomically(path, *bytes, &error)) return true;
  KVLog("ERROR SANDBOX COPY %s, %s", what, error.c_str());
  return false;
}
}  // namespace

std::string KVAPTManager::applicationSupportPath() { return DeviceRoot::devicePath(DeviceRoot::kApplicationSupport); }
std::string KVAPTManager::sandboxPath() { return applicationSupportPath() + "/APT"; }
std::string KVAPTManager::configurationPath() { return sandboxPath() + "/quillbark.config"; }
std::string KVAPTManager::sourcesListPath() { return sandboxPath() + "/sources.list"; }
std::string KVAPTManager::listsPath() { return sandboxPath() + "/lists"; }
std::string KVAPTManager::archivesPath() { return sandboxPath() + "/archives"; }

std::string KVAPTManager::configurationText() {
  const std::string apt = sandboxPath();
  const std::pair<const char*, std::string> lines[] = {
      {"Dir::Etc::SourceList", apt + "/sources.list"},
      {"Dir::Etc::SourceParts", ""},
      {"Dir::State::lists", apt + "/lists"},
      {"Dir::Cache::srcpkgcache", apt + "/srcpkgcache.bin"},
      {"Dir::Cache::pkgcache", apt + "/pkgcache.bin"},
      {"Dir::Cache::archives", apt + "/archives"},
      {"Binary::apt::APT::Cmd::Show-Update-Stats", "0"},
      {"Binary::apt::APT::Get::Show-Upgraded", "0"},
      {"Binary::apt::APT::Get::Show-Versions", "0"},
      {"APT::Cmd::Show-Update-Stats", "0"},
      {"APT::Get::Show-Upgraded", "0"},
      {"APT::Get::Show-Versions", "0"},
      {"APT::Keep-Downloaded-Packages", "1"},
      {"APT::Get::Update::InteractiveReleaseInfoChanges", "0"},
      {"DPkg::Progress-Fancy", "0"},
      {"APT::Sandbox::User", "root"},
  };
  std::string text;
  for (const auto& [key, value] : lines) text += std::string(key) + " \"" + value + "\";\n";
  return text;
}

void KVAPTManager::createAPTSandboxIfNeeded() {
  makeFolder(sandboxPath());
  makeFolder(listsPath());
  makeFolder(archivesPath());
  makeFolder(archivesPath() + "/partial");
  makeFolder(listsPath() + "/partial");
  Files::writeAtomically(configurationPath(), configurationText());
}

void KVAPTManager::purgeSandbox() {
  {
    std::lock_guard<std::mutex> lock(gSourcesListMutex);
    Files::removeItem(sandboxPath());
  }
  createAPTSandboxIfNeeded();
}

std::string KVAPTManager::debSourceForSource(const std::string& location) {
  using namespace KVKnownRepositories;
  for (const char* older : {kLargeDefaultRepository, kArchivedRepositoryA, kArchivedRepositoryB, kStoreRepository})
    if (location == older) return "deb " + location + " stable main\n";
  if (location == kUnc0verBootstrapHTTP || location == kUnc0verBootstrapHTTPS) {
    char line[256];
    snprintf(line, sizeof line, "deb https://%s/ ios/%.2f main\n", kUnc0verBootstrapHost, 1443.0);
    return line;
  }
  return "deb " + location + " ./\n";
}

void KVAPTManager::writeSourceToListIfNeeded(const std::string& location) {
  std::string line = debSourceForSource(location);
  std::string bare = line.substr(0, line.size() - 1);
  if (bare.find_first_of("\r\n") != std::string::npos) {
    KVLog("Refusing a source location with a line break: %s", location.c_str());
    return;
  }
  std::lock_guard<std::mutex> lock(gSourcesListMutex);
  std::string text = readSourcesList();
  bool present = false;
  for (const auto& existing : linesOf(text)) present = present || existing == bare;
  if (!present) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += line;
  }
  writeSourcesList(text);
}

std::string KVAPTManager::releasePathForSource(const std::string& location) { return listFileName(location, true); }
std::string KVAPTManager::packagesPathForSource(const std::string& location) { return listFileName(location, false); }

std::optional<std::string> KVAPTManager::filePathForSource(const std::string& location, int fileType) {
  if (fileType == 0) return releasePathForSource(location);
  if (fileType == 1) return packagesPathForSource(location);
  return std::nullopt;
}

void KVAPTManager::writeReleaseContents(const std::string& text, StringEncoding encoding, const std::string& location) {
  writeListFile(releasePathForSource(location), text, encoding, "RELEASE");
  writeSourceToListIfNeeded(location);
}

void KVAPTManager::writeReleaseContents(const std::string& text, const std::string& location) {
  writeReleaseContents(text, StringEncoding::UTF8, location);
}

void KVAPTManager::writePackagesContents(const std::string& text, StringEncoding encoding, const std::string& location) {
  writeListFile(packagesPathForSource(location), text, encoding, "PACKAGES");
}

void KVAPTManager::writePackagesContents(const std::string& text, const std::string& location) {
  writePackagesContents(text, StringEncoding::UTF8, location);
}

void KVAPTManager::writePackagesData(const Data& bytes, const std::string& location) {
  std::ofstream out(packagesPathForSource(location), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string KVAPTManager::safeLastModifiedDateStringForSource(const std::string& location, int fileType) {
  static const DateFormatter formatter("E, d MMM yyyy HH:mm:ss", "GMT");
  auto path = filePathForSource(location, fileType);
  std::optional<Date> modified = path ? Files::modificationDate(*path) : std::nullopt;
  return formatter.format(modified.value_or(Date::distantPast())) + " GMT";
}

void KVAPTManager::purgeSourceFromSandbox(const std::string& location) { purgeSourcesFromSandbox({location}); }

void KVAPTManager::purgeSourcesFromSandbox(const std::vector<std::string>& locations) {
  std::lock_guard<std::mutex> lock(gSourcesListMutex);
  std::vector<std::string> lines = linesOf(readSourcesList());
  for (const auto& location : locations) {
    ::remove(releasePathForSource(location).c_str());
    ::remove(packagesPathForSource(location).c_str());
    std::string line = debSourceForSource(location);
    std::string bare = line.substr(0, line.size() - 1);
    std::erase(lines, bare);
  }
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  writeSourcesList(text);
}
