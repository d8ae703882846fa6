#pragma once
// A package record made from one stanza of a real index, the way a source refresh
// makes it: its fields, dependencies, and one version entry.
#include <cctype>
#include <optional>
#include <string>

#include "BenchDatabase.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"

inline const std::string kBenchSource = "http://deb.example/debian/";

inline KVRPackage benchPackageFor(KVStanza& s, std::optional<KVRPackage> existing) {
  std::string id = s.value("Package");
  for (auto& c : id) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  KVRPackage p = existing ? std::move(*existing) : KVRPackage();
  p.setIdentifier(id);
  p.setSourceLocation(kBenchSource);
  p.setVersion(s.value("Version"));
  p.setName(s.value("Name", id));
  p.setCategory(s.value("Section", "Default"));
  p.setDescription(s.value("Description"));
  p.setSize(s.value("Size"));
  std::string name, email;
  KVParsingUtility::setContactFromField(s.value("Maintainer", "Generic"), &name, &email);
  p.setMaintainer(name);
  p.setContact(email);
  auto clauses = KVParsingUtility::componentsOfControlField(s.find("Depends"));
  auto pre = KVParsingUtility::componentsOfControlField(s.find("Pre-Depends"));
  clauses.insert(clauses.end(), pre.begin(), pre.end());
  std::string minV, maxV;
  bool incompatible = false;
  p.setDependencies(KVParsingUtility::arrayOfDependenciesFromControlField(clauses, true, &incompatible, &minV, &maxV, "15.0"));
  p.setConflicts(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Conflicts"))));
  p.setProvides(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Provides"))));
  p.setReplaces(KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(s.find("Replaces"))));
  p.setUpdatedDateStr(std::string("2026-12-07 07:00"));
  auto versions = p.availableVersions();
  bool known = false;
  for (const auto& v : versions) known = known || v.version() == p.version();
  if (!known) {
    if (auto v = KVRPackageVersion::packageVersionWithSourceLocation(kBenchSource, s.value("Filename"), p.version())) {
      versions.push_back(*v);
      p.setAvailableVersions(versions);
    }
  }
  return p;
}


// Every package of the index written to `db` as its record in one write, each also
// handed to `each` when given; answers how many there are.
template <class Database, class Each>
inline size_t benchWriteEveryPackage(Database& db, const std::string& indexPath, Each each) {
  size_t count = 0;
  written(db.write([&] {
    KVParsingUtility::enumeratePackagesOfFileAtPath(indexPath, [&](KVStanza& s) {
      if (!s.find("Package")) return;
      KVRPackage p = benchPackageFor(s, std::nullopt);
      each(p);
      db.addOrUpdate(p.toObject());
      ++count;
    });
  }));
  return count;
}
