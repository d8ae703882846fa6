#include "database/KVSourceIndexImport.h"

#include <algorithm>

#include "core/DebianNames.h"
#include "database/KVParsingUtility.h"
#include "database/KVRSource.h"
#include "database/KVStanzaReader.h"
#include "database/NSStringVersionCompare.h"
#include "database/TweakCompatibilityManager.h"
#include "foundation/Log.h"
#include "foundation/URL.h"
#include "store/Store.h"

namespace {

std::string lowerCased(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> field(const KVStanza& stanza, std::string_view name) {
  auto value = stanza.find(name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::vector<std::string> itemsOf(const KVStanza& stanza, std::string_view name) {
  return KVParsingUtility::arrayOfItemsFromControlField(KVParsingUtility::componentsOfControlField(stanza.find(name)));
}

bool hasCommercialTag(const KVStanza& stanza) {
  // "Tag" and "tag" are one field to the stanza, whichever spelling the index used.
  auto tag = stanza.find("Tag");
  return tag && tag->find("cydia::commercial") != std::string_view::npos;
}

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

KVSourceIndexImport::KVSourceIndexImport(Settings settings) : settings_(std::move(settings)) {}

ErrorRef KVSourceIndexImport::apply(store::Database& db, KVStanzaReader& reader,
                                    const std::function<ErrorRef()>& beforeCommit, Outcome& outcome) {
  db_ = &db;
  ErrorRef failure;
  try {
    db.beginWrite();
    // A source removed while its index was on the way gets no packages: they would belong
    // to no source.
    if (!db.objectForPrimaryKey(KVRSource::className(), settings_.location)) {
      outcome.sourceMissing = true;
      db.cancelWrite();
      return nullptr;
    }
    KVStanza stanza;
    while (reader.next(stanza)) applyStanza(stanza, outcome);
    if (reader.failed()) {
      failure = makeError(KVSourceIndexImportErrorDomain, 1, "The index could not be read to its end");
    } else if (beforeCommit) {
      failure = beforeCommit();
    }
    if (failure) {
      db.cancelWrite();
      return failure;
    }
    flushAll();

    // The source's packages that the index no longer offers, unless installed.
    std::vector<Value> stale;
    for (const auto& id : db.objects(KVRPackage::className(), "sourceLocation = %@ AND isInstalled = 0",
                                     settings_.location).valuesForKey("identifier")) {
      if (!seen_.count(id.asString())) {
        outcome.cachedImagesToRemove.push_back(id.asString());
        stale.push_back(id);
      }
    }
    if (!stale.empty())
      db.deleteObjects(db.objects(KVRPackage::className(), "identifier IN %@", Value(Value::Array(stale))));

    auto offered = db.objects(KVRPackage::className(), "sourceLocation = %@", settings_.location);
    outcome.totalPackages = std::to_string(offered.count());
    if (auto source = db.objectForPrimaryKey(KVRSource::className(), settings_.location)) {
      KVRSource record = KVRSource::fromObject(*source);
      record.setTotalPackages(outcome.totalPackages);
      record.setHasErrors(false);
      record.setLastrefresh(settings_.date);
      db.addOrUpdate(record.toObject());
    }
    if (settings_.previousIdentifiers) {
      for (const auto& id : offered.valuesForKey("identifier")) {
        const std::string& text = id.asString();
        if (!text.empty() && !settings_.previousIdentifiers->count(text)) outcome.newIdentifiers.push_back(text);
      }
    }
    db.commitWrite();
  } catch (const std::exception& e) {
    if (db.inWriteTransaction()) db.cancelWrite();
    failure = makeError(KVSourceIndexImportErrorDomain, 2, std::string("The package records could not be written: ") + e.what());
    KVLog("%s", failure->localizedDescription().c_str());
  }
  return failure;
}

void KVSourceIndexImport::applyStanza(KVStanza& stanza, Outcome& outcome) {
  auto package = stanza.find("Package");
  if (!package) return;
  const std::string identifier = lowerCased(*package);
  if (identifier.empty()) return;
  auto versionField = stanza.find("Version");
  if (!DebianNames::isPackageName(identifier) || !versionField || !DebianNames::isVersion(*versionField)) {
    ++outcome.refused;
    KVLog("Refusing the package \"%.*s\" version \"%.*s\" of %s: not a Debian package name and version",
          int(package->size()), package->data(), versionField ? int(versionField->size()) : 0,
          versionField ? versionField->data() : "", settings_.location.c_str());
    return;
  }
  seen_.insert(identifier);
  ++outcome.applied;
  const std::string version(*versionField);

  Pending* existing = recordFor(identifier);
  // A lower version than the record's only adds a version entry.
  if (existing && NSStringVersionCompare::greaterThan(existing->record.version().value_or(""), version)) {
    addVersion(*existing, stanza, identifier, version);
    return;
  }

  const bool paid = hasCommercialTag(stanza);
  auto essentialField = stanza.find("Essential");
  const bool essential = essentialField && lowerCased(*essentialField) == "yes";

  auto clauses = KVParsingUtility::componentsOfControlField(stanza.find("Depends"));
  auto preDepends = KVParsingUtility::componentsOfControlField(stanza.find("Pre-Depends"));
  clauses.insert(clauses.end(), preDepends.begin(), preDepends.end());
  bool incompatible = false;
  std::string minVersion, maxVersion;
  auto dependencies = KVParsingUtility::arrayOfDependenciesFromControlField(
      clauses, settings_.showIncompatiblePackages, &incompatible, &minVersion, &maxVersion, settings_.systemVersion);
  if (incompatible && !settings_.showIncompatiblePackages) return;

  Pending* target = existing;
  std::optional<std::string> previousVersion;
  if (existing) {
    KVRPackage& x = existing->record;
    previousVersion = x.version();
    const bool sameVersion = x.version() == version;
    const bool fromDPKG = x.sourceLocation() == KVRPackage::kDPKGSourceLocation;
    const bool installed = x.isInstalled().value_or(false);
    const bool installedOlder = !sameVersion && x.installedVersion() &&
                                NSStringVersionCompare::lessThan(*x.installedVersion(), version);
    if (fromDPKG) {
      x.setIsInstalledUsingAnotherPM(true);
      x.setSourceLocation(settings_.location);
    }
    if (!sameVersion) outcome.cachedImagesToRemove.push_back(identifier);
    x.setIsUpdated((installed || fromDPKG) ? installedOlder : essential);
  } else {
    KVRPackage fresh;
    fresh.setIdentifier(identifier);
    fresh.setSourceLocation(settings_.location);
    fresh.setInitialDateStr(settings_.dateString);
    fresh.setInitialDate(settings_.date);
    fresh.setIsUpdated(essential);
    target = &addPending(std::move(fresh));
  }
  KVRPackage& y = target->record;

  std::string contactField = stanza.value("Author", stanza.value("Maintainer", "Generic"));
  std::string name, email;
  KVParsingUtility::setContactFromField(contactField, &name, &email);

  if (!y.updatedDate() || (previousVersion && NSStringVersionCompare::lessThan(*previousVersion, version))) {
    y.setUpdatedDate(settings_.date);
    y.setUpdatedDateStr(settings_.dateString);
  }
  y.setSourceLocation(settings_.location);
  y.setHasNewVersion(existing != nullptr);
  y.setIsEssential(essential);
  if (auto filename = stanza.find("Filename")) y.setLocation(fileLocation(*filename));
  y.setCategory(stanza.value("Section", "Default"));
  y.setVersion(version);
  y.setDescription(field(stanza, "Description"));
  y.setWebsite(field(stanza, "Depiction"));
  auto icon = field(stanza, "Icon");
  y.setIconURL(icon ? *icon : KVRPackage::defaultIconURLForIdentifier(identifier));
  y.setContact(email);
  y.setMaintainer(KVRPackage::foldedMaintainerName(name));
  y.setName(stanza.value("Name", identifier));
  y.setSize(stanza.value("Size"));
  y.setMinosversion(nonEmpty(minVersion));
  y.setMaxosversion(nonEmpty(maxVersion));
  // The four spellings of this field are one to the stanza.
  y.setSileoDepiction(field(stanza, "SileoDepiction"));
  y.setTweakCompatibleStatus(TweakCompatibilityManager::sharedCompatibilityForBundle(identifier, version));
  y.setPrice(std::string(paid ? "Paid" : "Free"));
  y.setRawPackage(field(stanza, "rawPackage"));
  y.setPostinstallaction(KVRPackage::postinstallactionFor(identifier, dependencies));
  y.setConflicts(itemsOf(stanza, "Conflicts"));
  y.setProvides(itemsOf(stanza, "Provides"));
  y.setReplaces(itemsOf(stanza, "Replaces"));
  y.setDependencies(std::move(dependencies));
  addVersion(*target, stanza, identifier, version);
}

void KVSourceIndexImport::addVersion(Pending& pending, const KVStanza& stanza, const std::string& identifier,
                                     const std::string& version) {
  auto filename = stanza.find("Filename");
  if (!filename || pending.versionTexts.count(version)) return;
  KVRPackageVersion entry;
  entry.setSource(settings_.location);
  entry.setFileLocation(fileLocation(*filename));
  entry.setVersion(version);
  KVRPackage& record = pending.record;
  if (!record.name() || record.name()->empty()) record.setName(stanza.value("Name", identifier));
  pending.versions.push_back(std::move(entry));
  pending.versionTexts.insert(version);
}

std::string KVSourceIndexImport::fileLocation(std::string_view filename) const {
  static thread_local std::string cachedLocation;
  static thread_local std::optional<URL> cachedBase;
  if (cachedLocation != settings_.location) {
    cachedLocation = settings_.location;
    cachedBase = URL::fromString(settings_.location);
  }
  if (cachedBase) return cachedBase->URLByAppendingPathComponent(std::string(filename)).absoluteString();
  std::string joined = settings_.location;
  if (!joined.empty() && joined.back() != '/') joined.push_back('/');
  return joined + std::string(filename);
}

KVSourceIndexImport::Pending* KVSourceIndexImport::recordFor(const std::string& identifier) {
  if (auto it = index_.find(identifier); it != index_.end()) {
    touch(it->second);
    return &*it->second;
  }
  auto stored = db_->objectForPrimaryKey(KVRPackage::className(), identifier);
  if (!stored) return nullptr;
  Pending& pending = addPending(KVRPackage::fromObject(*stored));
  pending.versions = pending.record.availableVersions();
  pending.record.setAvailableVersions({});
  for (const auto& v : pending.versions)
    if (v.version()) pending.versionTexts.insert(*v.version());
  return &pending;
}

KVSourceIndexImport::Pending& KVSourceIndexImport::addPending(KVRPackage record) {
  evictIfFull();
  std::string key = record.identifier();
  pending_.push_front(Pending{std::move(record), {}, {}});
  index_[key] = pending_.begin();
  return pending_.front();
}

void KVSourceIndexImport::touch(PendingList::iterator it) { pending_.splice(pending_.begin(), pending_, it); }

void KVSourceIndexImport::evictIfFull() {
  while (pending_.size() >= kPendingRecords) {
    write(pending_.back());
    index_.erase(pending_.back().record.identifier());
    pending_.pop_back();
  }
}

void KVSourceIndexImport::flushAll() {
  // Oldest first, so the records reach the file in the order the index named them.
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) write(*it);
  pending_.clear();
  index_.clear();
}

void KVSourceIndexImport::write(Pending& pending) {
  pending.record.setAvailableVersions(std::move(pending.versions));
  db_->addOrUpdate(pending.record.toObject());
}
