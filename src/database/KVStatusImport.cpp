#include "database/KVStatusImport.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

#include "core/DebianNames.h"
#include "core/KVPlatform.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/DateFormatter.h"
#include "foundation/Files.h"
#include "foundation/StringEncoding.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DpkgStatusFile.h"

namespace {

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}
bool isInstalledState(std::string_view status) {
  for (const char* state : {"ok installed", "ok half-installed", "ok half-configured", "ok unpacked"}) {
    if (endsWith(status, state)) return true;
  }
  return false;
}
// dpkg's state of a package it counts installed but did not finish with; nothing when
// it is fully installed.
OptText unfinishedState(std::string_view status) {
  for (const char* state : {KVRPackage::kHalfInstalledState, KVRPackage::kHalfConfiguredState, KVRPackage::kUnpackedState})
    if (endsWith(status, std::string(" ") + state)) return std::string(state);
  return std::nullopt;
}
OptText field(const KVStanza& s, std::string_view name) {
  if (auto v = s.find(name)) return std::string(*v);
  return std::nullopt;
}
OptText nonEmpty(const std::string& s) { return s.empty() ? OptText() : OptText(s); }

// When the file was made (its birth time where the file system keeps one).
std::optional<Date> creationDate(const std::string& path) {
  struct statx st {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BTIME | STATX_MTIME, &st) != 0) return std::nullopt;
  const auto& t = (st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_mtime;
  return Date::fromUnix(static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9);
}

// The lines of a file list; empty when it is not UTF-8, or no regular file within dpkg's
// ceiling (a package's script can leave anything in its place).
TextList fileListLines(const std::string& path) {
  TextList lines;
  auto contents = DeviceFiles::readFile(path, DpkgStatusFile::kMaximumBytes);
  if (!contents || !contents->complete) return lines;
  const Data& bytes = contents->bytes;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!isValidUTF8(text)) return lines;
  size_t start = 0;
  while (true) {
    size_t nl = text.find('\n', start);
    lines.emplace_back(text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start));
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
  return lines;
}

struct Stanza {
  const KVStanza& s;
  std::string identifier;
  std::string listPath;  // empty when the package has no file list
  Date installDate;
};

void updateExisting(KVRPackage& x, const Stanza& st) {
  OptText version = field(st.s, "Version");
  if (!(x.isInstalled().value_or(false) && x.installedVersion() == version)) {
    x.setIsInstalledUsingAnotherPM(true);
    x.setInstallDate(st.installDate);
  }
  x.setIsInstalled(true);
  x.setInstallState(unfinishedState(st.s.value("Status")));
  x.setIsEssential(lower(st.s.value("Essential")) == "yes");
  x.setInstalledVersion(version);
  x.setIsHeld(startsWith(st.s.value("Status"), "hold"));
  if (!st.listPath.empty()) x.setInstalledFiles(fileListLines(st.listPath));
  bool fromDpkg = x.sourceLocation() == KVRPackage::kDPKGSourceLocation;
  if (!fromDpkg && version != x.version()) {
    if (NSStringVersionCompare::equalToOrGreaterThan(version.value_or(""), x.version().value_or(""))) {
      x.setIsUpdated(false);
      x.setVersion(version);
    } else {
      x.setIsUpdated(true);  // a source offers a newer version
    }
  } else {
    x.setIsUpdated(false);
    x.setVersion(version);
  }
}

KVRPackage newRecord(const Stanza& st, const std::string& price) {
  const KVStanza& s = st.s;
  KVRPackage p;
  p.setIdentifier(st.identifier);
  p.setInstallDate(st.installDate);
  p.setInitialDateStr(KVParsingUtility::refreshDateFormatter().format(st.installDate));
  p.setPrice(price);
  p.setSubcategory(std::string());
  p.setIsEssential(lower(s.value("Essential")) == "yes");
  p.setIsHeld(startsWith(s.value("Status"), "hold"));
  p.setSourceLocation(std::string(KVRPackage::kDPKGSourceLocation));
  std::string contactField = s.find("Author") ? s.value("Author") : s.find("Maintainer") ? s.value("Maintainer") : "Generic";
  std::string name, email;
  KVParsingUtility::setContactFromField(contactField, &name, &email);
  p.setMaintainer(KVRPackage::foldedMaintainerName(name));
  if (!email.empty()) p.setContact(email);
  p.setIsInstalled(true);
  p.setInstallState(unfinishedState(s.value("Status")));
  p.setIsInstalledUsingAnotherPM(true);
  // What the next import would write for a record only dpkg knows, so that a second
  // import finds nothing to change.
  p.setIsUpdated(false);
  p.setName(s.find("Name") ? s.value("Name") : s.value("Package"));
  p.setIconURL(s.find("Icon") ? s.value("Icon") : KVRPackage::defaultIconURLForIdentifier(st.identifier));
  p.setDescription(field(s, "Description"));
  p.setCategory(s.value("Section", "Default"));
  p.setVersion(field(s, "Version"));
  p.setInstalledVersion(field(s, "Version"));
  p.setWebsite(field(s, "Depiction"));
  auto clauses = KVParsingUtility::componentsOfControlField(s.find("Depends"));
  auto pre = KVParsingUtility::componentsOfControlField(s.find("Pre-Depends"));
  clauses.insert(clauses.end(), pre.begin(), pre.end());
  bool incompatible = false;
  std::string minVersion, maxVersion;
  TextList dependencies = KVParsingUtility::arrayOfDependenciesFromControlField(
      clauses, true, &incompatible, &minVersion, &maxVersion, KVPlatform::firmwareVersion());
  p.setMinosversion(nonEmpty(minVersion));
  p.setMaxosversion(nonEmpty(maxVersion));
  // The stanza's field names are matched without regard to case, so this finds any of
  // "SileoDepiction", "sileoDepiction", "Sileodepiction" and "sileodepiction".
  p.setSileoDepiction(field(s, "SileoDepiction"));
  p.setPostinstallaction(KVRPackage::postinstallactionFor(st.identifier, dependencies));
  p.setDependencies(std::move(dependencies));
  p.setConflicts(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Conflicts"))));
  p.setProvides(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Provides"))));
  p.setReplaces(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Replaces"))));
  if (!st.listPath.empty()) p.setInstalledFiles(fileListLines(st.listPath));
  return p;
}

}  // namespace

bool KVStatusImport::isPseudoPackage(std::string_view identifier) {
  return startsWith(identifier, "gsc") || startsWith(identifier, "cy+") || identifier == "firmware";
}

std::string KVStatusImport::statusFilePath() { return DeviceRoot::devicePath("/var/lib/dpkg/status"); }

std::string KVStatusImport::fileListPath(const std::string& identifier, const std::string& architecture) {
  std::string plain = DeviceRoot::devicePath("/Library/dpkg/info/" + identifier + ".list");
  if (Files::exists(plain) || architecture.empty()) return plain;
  std::string qualified = DeviceRoot::devicePath("/Library/dpkg/info/" + identifier + ":" + architecture + ".list");
  return Files::exists(qualified) ? qualified : plain;
}

Expected<std::set<std::string>> KVStatusImport::run(store::Database& db, Date referenceDate) {
  std::set<std::string> seen;
  std::optional<std::string> unread;
  ErrorRef error = db.write([&] {
    unread = KVParsingUtility::enumeratePackagesOfDpkgFileAtPath(statusFilePath(), [&](KVStanza& s) {
      auto package = s.find("Package");
      if (!package || isPseudoPackage(*package)) return;
      if (auto tag = s.find("Tag"); tag && tag->find("role::cydia") != std::string_view::npos) return;
      if (!isInstalledState(s.value("Status"))) return;
      std::string identifier = DebianNames::recordIdentifier(*package);
      if (identifier.empty() || startsWith(identifier, "gsc") || startsWith(identifier, "cy+")) return;
      seen.insert(identifier);
      auto tag = s.find("Tag");
      std::string price = tag && tag->find("cydia::commercial") != std::string_view::npos ? "Paid" : "Free";
      s.set("Price", price);

      Stanza st{s, identifier, fileListPath(identifier, s.value("Architecture")), referenceDate};
      if (!Files::exists(st.listPath)) st.listPath.clear();
      else if (auto created = creationDate(st.listPath)) st.installDate = *created;

      if (auto existing = store::objectForPrimaryKey<KVRPackage>(db, identifier)) {
        updateExisting(*existing, st);
        db.addOrUpdate(existing->toObject());
      } else {
        db.add(newRecord(st, price).toObject());
      }
    });
    // Part of the status is no record of what is installed: taking it as one would
    // uninstall every package it did not reach.
    if (unread) return db.cancelWrite();

    // Records this import (or an earlier one) marked installed that dpkg no longer
    // lists: gone when only dpkg knew them, otherwise no longer installed.
    for (KVRPackage p : store::objectsWhere<KVRPackage>(db, "isInstalledUsingAnotherPM = 1").all()) {
      if (isPseudoPackage(p.identifier())) {
        db.deleteObject(p.toObject());
      } else if (seen.count(p.identifier())) {
        continue;
      } else if (p.sourceLocation() == KVRPackage::kDPKGSourceLocation) {
        db.deleteObject(p.toObject());
      } else {
        p.setIsInstalled(false);
        p.setInstallState(std::nullopt);
        p.setIsUpdated(false);
        p.setIsInstalledUsingAnotherPM(false);
        db.addOrUpdate(p.toObject());
      }
    }
    for (const char* pseudo : {"cy+cpu.arm64", "cy+kernel.darwin", "cy+os.ios", "cy+model.iphone", "cy+lib.corefoundation",
                               "firmware"}) {
      if (auto o = db.objectForPrimaryKey(KVRPackage::className(), pseudo)) db.deleteObject(*o);
    }
  });
  if (error) return error;
  if (unread) return makeError(KVStatusImportErrorDomain, KVStatusImportErrorUnreadable, *unread);
  return seen;
}
