// The private APT tree: its folders, configuration file, sources list and list files.
#include "operations/KVAPTManager.h"

#include <cstdio>
#include <mutex>
#include <sstream>

#include "core/KVKnownRepositories.h"
#include "foundation/HTTPDate.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "operations/TextLines.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
ErrorRef aptError(int64_t code, const std::string& description) {
  return makeError(KVAPTErrorDomain, code, description);
}

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

// One folder of the tree (its parent exists); an error value when it can't be made.
ErrorRef makeFolder(const std::string& path) {
  std::string reason;
  if (DeviceFiles::createFolder(path, &reason)) return nullptr;
  return aptError(KVAPTErrorTreeUnwritable, "cannot make the folder " + path + ": " + reason);
}

// A package can leave a named pipe or a link in its place while the application runs: it
// is read as a regular file only, without waiting, and a list no application writes
// (larger than 16 MiB) counts as empty, as a missing one does.
std::string readSourcesList() {
  auto contents = DeviceFiles::readFile(KVAPTManager::sourcesListPath(), 16 << 20);
  if (!contents || !contents->complete) return std::string();
  return std::string(contents->bytes.begin(), contents->bytes.end());
}

// Every file of the tree is written here: whole or not at all (a temporary file renamed
// over it), with the tree made first when something removed it.
template <typename Bytes>  // Data or std::string
ErrorRef writeTreeFile(const std::string& path, const Bytes& bytes) {
  if (!Files::exists(KVAPTManager::configurationPath()))
    if (ErrorRef error = KVAPTManager::createAPTSandboxIfNeeded()) return error;
  std::string reason;
  if (DeviceFiles::writeAtomically(path, bytes, &reason)) return nullptr;
  return aptError(KVAPTErrorTreeUnwritable, "cannot write " + path + ": " + reason);
}

ErrorRef writeSourcesList(const std::string& text) {
  KVAPTManager::inputsChanged();
  return writeTreeFile(KVAPTManager::sourcesListPath(), text);
}

// The sources-list line of a location, which also names its list files.
std::string debLine(const std::string& location) {
  const auto known = KVKnownRepositories::current();
  for (const auto* older : {&known.largeDefaultRepository, &known.archivedRepositoryA, &known.archivedRepositoryB,
                            &known.storeRepository})
    if (location == *older) return "deb " + location + " stable main\n";
  if (location == known.unc0verBootstrapHTTP || location == known.unc0verBootstrapHTTPS) {
    char distribution[32];
    snprintf(distribution, sizeof distribution, "ios/%.2f", 1443.0);
    return "deb " + known.unc0verBootstrapHTTPS + " " + distribution + " main\n";
  }
  return "deb " + location + " ./\n";
}

// "Name" of a list file: the sources-list line reduced as APT names its files.
std::string listFileName(const std::string& location, bool release) {
  std::string line = debLine(location);
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

ErrorRef writeListFile(const std::string& path, const std::string& text, StringEncoding encoding, const char* what) {
  KVAPTManager::inputsChanged();
  auto bytes = encodeString(text, encoding);
  ErrorRef error = bytes ? writeTreeFile(path, *bytes)
                         : aptError(KVAPTErrorUnencodable,
                                    std::string("the text can't be written in ") + stringEncodingName(encoding));
  if (error) KVLog("ERROR SANDBOX COPY %s, %s", what, error->localizedDescription().c_str());
  return error;
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

ErrorRef KVAPTManager::createAPTSandboxIfNeeded() {
  inputsChanged();
  for (const std::string& folder : {sandboxPath(), listsPath(), archivesPath(), archivesPath() + "/partial",
                                    listsPath() + "/partial"})
    if (ErrorRef error = makeFolder(folder)) return error;
  // The configuration is written last: its presence says the tree is whole.
  std::string reason;
  if (DeviceFiles::writeIfChanged(configurationPath(), configurationText(), &reason)) return nullptr;
  return aptError(KVAPTErrorTreeUnwritable, "cannot write " + configurationPath() + ": " + reason);
}

ErrorRef KVAPTManager::purgeSandbox() {
  {
    std::lock_guard<std::mutex> lock(gSourcesListMutex);
    DeviceFiles::removeItem(sandboxPath());
  }
  return createAPTSandboxIfNeeded();
}

std::string KVAPTManager::debSourceForSource(const KVSourceLocation& location) { return debLine(location.text()); }

ErrorRef KVAPTManager::writeSourceToListIfNeeded(const KVSourceLocation& location) {
  std::string line = debSourceForSource(location);
  std::string bare = line.substr(0, line.size() - 1);
  std::lock_guard<std::mutex> lock(gSourcesListMutex);
  std::string text = readSourcesList();
  bool present = false;
  for (const auto& existing : linesOf(text)) present = present || existing == bare;
  if (!present) {
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += line;
  }
  return present ? nullptr : writeSourcesList(text);
}

std::string KVAPTManager::releasePathForSource(const std::string& location) { return listFileName(location, true); }
std::string KVAPTManager::packagesPathForSource(const std::string& location) { return listFileName(location, false); }

std::optional<std::string> KVAPTManager::filePathForSource(const std::string& location, int fileType) {
  if (fileType == 0) return releasePathForSource(location);
  if (fileType == 1) return packagesPathForSource(location);
  return std::nullopt;
}

ErrorRef KVAPTManager::writeReleaseContents(const std::string& text, StringEncoding encoding,
                                           const KVSourceLocation& location) {
  // Without its Release file a source must not reach the sources list.
  if (ErrorRef error = writeListFile(releasePathForSource(location.text()), text, encoding, "RELEASE")) return error;
  return writeSourceToListIfNeeded(location);
}

ErrorRef KVAPTManager::writeReleaseContents(const std::string& text, const KVSourceLocation& location) {
  return writeReleaseContents(text, StringEncoding::UTF8, location);
}

ErrorRef KVAPTManager::writePackagesContents(const std::string& text, StringEncoding encoding,
                                            const KVSourceLocation& location) {
  return writeListFile(packagesPathForSource(location.text()), text, encoding, "PACKAGES");
}

ErrorRef KVAPTManager::writePackagesContents(const std::string& text, const KVSourceLocation& location) {
  return writePackagesContents(text, StringEncoding::UTF8, location);
}

ErrorRef KVAPTManager::writePackagesData(const Data& bytes, const KVSourceLocation& location) {
  ErrorRef error = writeTreeFile(packagesPathForSource(location.text()), bytes);
  if (error) KVLog("ERROR SANDBOX COPY PACKAGES, %s", error->localizedDescription().c_str());
  return error;
}

ErrorRef KVAPTManager::writePackagesFile(
    const KVSourceLocation& location,
    const std::function<bool(int fd, std::string* error, const Files::PlaceNow& placeNow)>& fill) {
  if (!Files::exists(configurationPath()) || !Files::isDirectory(listsPath()))
    if (ErrorRef error = createAPTSandboxIfNeeded()) return error;
  const std::string path = packagesPathForSource(location.text());
  std::string reason;
  // A file placed early was there for the caches built ahead; if it stays, nothing changed
  // since. Any other outcome that touched the file changed it.
  bool placed = false;
  auto tracked = [&](int fd, std::string* error, const Files::PlaceNow& placeNow) {
    Files::PlaceNow tracking = [&](std::string* placeError) { return placed = placeNow(placeError); };
    return fill(fd, error, tracking);
  };
  const bool written = DeviceFiles::writeAtomicallyPlacing(path, tracked, &reason);
  if (written != placed) inputsChanged();
  if (written) return nullptr;
  return aptError(KVAPTErrorTreeUnwritable, "cannot write " + path + ": " + reason);
}

std::string KVAPTManager::aheadMarkerPathForSource(const std::string& location) {
  return packagesPathForSource(location) + ".ahead";
}

std::string KVAPTManager::safeLastModifiedDateStringForSource(const std::string& location, int fileType) {
  // IMF-fixdate, with the two-digit day servers insist on: a one-digit day makes a
  // strict server ignore the date and send the whole file again.
  auto path = filePathForSource(location, fileType);
  // A list file put in place ahead of records that never came (the program ended between
  // the two) is newer than the records: its date must not spare the index's download.
  if (fileType == 1 && Files::exists(aheadMarkerPathForSource(location))) path.reset();
  std::optional<Date> modified = path ? Files::modificationDate(*path) : std::nullopt;
  return HTTPDate::format(modified.value_or(Date::distantPast()));
}

ErrorRef KVAPTManager::purgeSourceFromSandbox(const KVSourceLocation& location) {
  return purgeSourcesFromSandbox({location});
}

ErrorRef KVAPTManager::purgeSourcesFromSandbox(const std::vector<KVSourceLocation>& locations) {
  inputsChanged();
  std::lock_guard<std::mutex> lock(gSourcesListMutex);
  std::vector<std::string> lines = linesOf(readSourcesList());
  for (const auto& location : locations) {
    DeviceFiles::removeItem(releasePathForSource(location.text()));
    DeviceFiles::removeItem(packagesPathForSource(location.text()));
    DeviceFiles::removeItem(aheadMarkerPathForSource(location.text()));
    std::string line = debSourceForSource(location);
    std::string bare = line.substr(0, line.size() - 1);
    std::erase(lines, bare);
  }
  std::string text;
  for (const auto& l : lines) text += l + "\n";
  return writeSourcesList(text);
}
