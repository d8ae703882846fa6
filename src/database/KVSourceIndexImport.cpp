#include "database/KVSourceIndexImport.h"

#include <algorithm>
#include <utility>

#include "database/KVRSource.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/Log.h"
#include "store/FieldVisitor.h"
#include "store/Store.h"

KVSourceIndexImport::KVSourceIndexImport(Settings settings) : settings_(std::move(settings)) {}

ErrorRef KVSourceIndexImport::apply(store::Database& db, const NextEntry& next,
                                    const std::function<ErrorRef()>& beforeCommit, Outcome& outcome) {
  db_ = &db;
  ErrorRef failure;
  ErrorRef written = db.write([&] {
    // A source removed while its index was on the way gets no packages: they would belong
    // to no source.
    if (!db.objectForPrimaryKey(KVRSource::className(), settings_.location)) {
      outcome.sourceMissing = true;
      db.cancelWrite();
      return;
    }
    // What the table holds before this index: the identifiers worth looking up, and the
    // source's records that may turn out stale. A source's first import finds none of its
    // own, so it neither reads records back nor searches for stale ones.
    {
      auto identifiers = db.objects(KVRPackage::className()).valuesForKey("identifier");
      known_.assign(filterWords(identifiers.size()), 0);
      written_.assign(known_.size(), 0);
      for (const auto& id : identifiers)
        if (id.isString()) mark(known_, hashOf(*id.stringPtr()));
    }
    staleCandidates_ =
        db.objects(KVRPackage::className(), "sourceLocation = %@ AND isInstalled = 0", settings_.location).objectIds();
    while (auto entry = next()) applyEntry(*entry, outcome);
    if (beforeCommit) failure = beforeCommit();
    if (failure) {
      db.cancelWrite();
      return;
    }
    flushAll();
    deleteStalePackages(outcome);

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
  });
  if (written) {
    failure = makeError(KVSourceIndexImportErrorDomain, 2,
                        "The package records could not be written: " + written->localizedDescription());
    KVLog("%s", failure->localizedDescription().c_str());
  }
  return failure;
}

// The source's packages that the index no longer offers, unless installed.
void KVSourceIndexImport::deleteStalePackages(Outcome& outcome) {
  if (staleCandidates_.empty()) return;
  std::sort(seen_.begin(), seen_.end());
  Value::Array stale;
  for (int64_t id : staleCandidates_) {
    if (std::binary_search(seen_.begin(), seen_.end(), id)) continue;
    auto record = db_->objectWithId(KVRPackage::className(), id);
    if (!record) continue;
    Value identifier = record->at(static_cast<size_t>(record->schema()->primaryKeyIndex()));
    outcome.cachedImagesToRemove.push_back(identifier.asString());
    stale.push_back(std::move(identifier));
  }
  if (!stale.empty()) db_->deleteObjects(db_->objects(KVRPackage::className(), "identifier IN %@", Value(std::move(stale))));
}

void KVSourceIndexImport::applyEntry(KVIndexEntry& entry, Outcome& outcome) {
  if (entry.refused) {
    ++outcome.refused;
    KVLog("Refusing the package \"%s\" version \"%s\" of %s: not a Debian package name and version",
          entry.package.c_str(), entry.version.c_str(), settings_.location.c_str());
    return;
  }
  ++outcome.applied;
  const std::string& identifier = entry.identifier;
  const std::string& version = entry.version;
  const size_t hash = hashOf(identifier);

  Pending* existing = recordFor(identifier, hash);
  // A lower version than the record's only adds a version entry: the record keeps the
  // highest version offered. But when the record came from this source in an earlier run
  // and the source's first entry of it now is lower, the source has lowered its version
  // and no longer offers the record's: the record follows it down (later entries of the
  // index may raise it again), unless another source offers more.
  bool lowered = false;
  if (existing && NSStringVersionCompare::greaterThan(existing->record.version().value_or(""), version)) {
    lowered = std::exchange(existing->heldFromEarlierRun, false) && mayLower(*existing, version);
    if (!lowered) {
      addVersion(*existing, entry, settings_.location);
      return;
    }
  }
  if (existing) existing->heldFromEarlierRun = false;
  if (entry.incompatible) {
    // Its identifier still counts as offered: an existing record stays as it is.
    if (existing && existing->record.objectId()) seen_.push_back(existing->record.objectId());
    return;
  }
  if (lowered) existing->versionBeforeLowering = existing->record.version();

  Pending* target = existing;
  std::optional<std::string> previousVersion;
  if (existing) {
    KVRPackage& x = existing->record;
    // Within a run that lowered it, the version the record had before the run.
    previousVersion = existing->versionBeforeLowering ? existing->versionBeforeLowering : x.version();
    const bool sameVersion = previousVersion == version;
    const bool fromDPKG = x.sourceLocation() == KVRPackage::kDPKGSourceLocation;
    const bool installed = x.isInstalled().value_or(false);
    const bool installedOlder = !sameVersion && x.installedVersion() &&
                                NSStringVersionCompare::lessThan(*x.installedVersion(), version);
    if (fromDPKG) {
      x.setIsInstalledUsingAnotherPM(true);
      x.setSourceLocation(settings_.location);
    }
    if (!sameVersion) outcome.cachedImagesToRemove.push_back(identifier);
    x.setIsUpdated((installed || fromDPKG) ? installedOlder : entry.essential);
  } else {
    KVRPackage fresh;
    fresh.setIdentifier(std::move(entry.identifier));  // not read again for a new record
    fresh.setInitialDateStr(settings_.dateString);
    fresh.setInitialDate(settings_.date);
    fresh.setIsUpdated(entry.essential);
    target = &addPending(std::move(fresh), hash);
  }
  KVRPackage& y = target->record;
  if (!y.updatedDate() || (previousVersion && NSStringVersionCompare::lessThan(*previousVersion, version))) {
    y.setUpdatedDate(settings_.date);
    y.setUpdatedDateStr(settings_.dateString);
  }
  y.setSourceLocation(settings_.location);
  y.setHasNewVersion(existing != nullptr);
  y.setIsEssential(entry.essential);
  y.setCategory(std::move(entry.category));
  y.setDescription(std::move(entry.description));
  y.setWebsite(std::move(entry.website));
  y.setIconURL(std::move(entry.iconURL));
  y.setContact(std::move(entry.contact));
  y.setMaintainer(std::move(entry.maintainer));
  y.setSize(std::move(entry.size));
  y.setMinosversion(std::move(entry.minosversion));
  y.setMaxosversion(std::move(entry.maxosversion));
  y.setSileoDepiction(std::move(entry.sileoDepiction));
  y.setTweakCompatibleStatus(entry.tweakCompatibleStatus);
  y.setPrice(std::string(entry.paid ? "Paid" : "Free"));
  y.setRawPackage(std::move(entry.rawPackage));
  y.setPostinstallaction(std::move(entry.postinstallaction));
  y.setConflicts(std::move(entry.conflicts));
  y.setProvides(std::move(entry.provides));
  y.setReplaces(std::move(entry.replaces));
  y.setDependencies(std::move(entry.dependencies));
  // The version entry copies what it needs of the entry; the record then takes the rest.
  addVersion(*target, entry, settings_.location);
  if (entry.fileLocation) y.setLocation(std::move(entry.fileLocation));
  y.setVersion(std::move(entry.version));
  y.setName(std::move(entry.name));
}

// A few versions are searched one by one; many through a set of their texts, made when
// it is first needed, so that an identifier with many versions costs no more than them.
bool KVSourceIndexImport::hasVersion(Pending& pending, const std::string& version) {
  if (pending.versions.size() <= kVersionsSearchedInTurn) {
    for (const auto& v : pending.versions)
      if (v.version() == version) return true;
    return false;
  }
  if (pending.versionTexts.empty()) {
    for (const auto& v : pending.versions)
      if (v.version()) pending.versionTexts.insert(*v.version());
  }
  return pending.versionTexts.count(version) > 0;
}

bool KVSourceIndexImport::mayLower(const Pending& pending, const std::string& version) const {
  for (const auto& v : pending.versions)
    if (v.source() != settings_.location && v.version() && NSStringVersionCompare::greaterThan(*v.version(), version))
      return false;
  return true;
}

void KVSourceIndexImport::addVersion(Pending& pending, const KVIndexEntry& entry, const std::string& location) {
  if (!entry.fileLocation || hasVersion(pending, entry.version)) return;
  KVRPackageVersion version;
  version.setSource(location);
  version.setFileLocation(entry.fileLocation);
  version.setVersion(entry.version);
  KVRPackage& record = pending.record;
  if (!record.name() || record.name()->empty()) record.setName(entry.name);
  pending.versions.push_back(std::move(version));
  if (!pending.versionTexts.empty()) pending.versionTexts.insert(entry.version);
}

// The identifiers in the table are kept as a filter of bits, a few per identifier: an
// identifier whose bits are not all set has no record (one whose bits are set may have
// one, and is looked up). A few dozen bits per identifier keep false hits rare.
size_t KVSourceIndexImport::filterWords(size_t identifiers) {
  size_t words = size_t{1} << 14;  // 2^20 bits
  while (words * 64 < identifiers * 32) words *= 2;
  return words;
}

namespace {
template <typename Visit>
void filterBits(size_t hash, size_t words, Visit visit) {
  uint64_t h = hash;
  uint64_t step = (h >> 32) | 1;
  const uint64_t bits = static_cast<uint64_t>(words) * 64;
  for (int i = 0; i < 3; ++i, h += step) visit(static_cast<size_t>((h % bits) / 64), uint64_t{1} << (h % 64));
}
}  // namespace

void KVSourceIndexImport::mark(std::vector<uint64_t>& filter, size_t hash) {
  filterBits(hash, filter.size(), [&](size_t word, uint64_t bit) { filter[word] |= bit; });
}

bool KVSourceIndexImport::mayHold(const std::vector<uint64_t>& filter, size_t hash) {
  bool all = true;
  filterBits(hash, filter.size(), [&](size_t word, uint64_t bit) { all = all && (filter[word] & bit); });
  return all;
}

KVSourceIndexImport::Pending* KVSourceIndexImport::recordFor(const std::string& identifier, size_t hash) {
  if (auto it = index_.find(HashedKey{identifier, hash}); it != index_.end()) {
    pending_.splice(pending_.begin(), pending_, it->second);  // the most recently touched
    return &*it->second;
  }
  if (!mayHold(known_, hash)) return nullptr;
  auto stored = db_->objectForPrimaryKey(KVRPackage::className(), identifier);
  if (!stored) return nullptr;
  Pending& pending = addPending(KVRPackage::fromObject(*stored), hash);
  pending.versions = pending.record.availableVersions();
  pending.record.setAvailableVersions({});
  // A record this run wrote and read back is not from an earlier run (a false hit of the
  // filter only keeps a record up).
  pending.heldFromEarlierRun =
      pending.record.sourceLocation() == settings_.location && !mayHold(written_, hash);
  return &pending;
}

KVSourceIndexImport::Pending& KVSourceIndexImport::addPending(KVRPackage&& record, size_t hash) {
  evictIfFull();
  if (spare_.empty()) pending_.emplace_front();
  else pending_.splice(pending_.begin(), spare_, spare_.begin());
  // Filled in place: a record is large, and every temporary of it costs its fields.
  Pending& pending = pending_.front();
  pending.record = std::move(record);
  pending.versions.clear();
  pending.versionTexts.clear();
  pending.heldFromEarlierRun = false;
  pending.versionBeforeLowering.reset();
  pending.hash = hash;
  // The key is the record's own identifier, which stays where it is while it waits.
  index_[HashedKey{pending.record.identifier(), hash}] = pending_.begin();
  return pending;
}

void KVSourceIndexImport::evictIfFull() {
  while (pending_.size() >= kPendingRecords) {
    // Before the write, which takes the record's fields (its identifier too).
    index_.erase(HashedKey{pending_.back().record.identifier(), pending_.back().hash});
    write(pending_.back());
    spare_.splice(spare_.begin(), pending_, std::prev(pending_.end()));
  }
}

void KVSourceIndexImport::flushAll() {
  // Oldest first, so the records reach the file in the order the index named them.
  index_.clear();
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) write(*it);
  pending_.clear();
  spare_.clear();
  if (leftovers_) handOnLeftovers();
}

namespace {
template <typename T>
void visitField(store::record::FieldVisitor& visitor, const T& field) {
  store::record::visit(visitor, field);
}
// The version entries go in field by field too, without objects of them.
void visitField(store::record::FieldVisitor& visitor, const std::vector<KVRPackageVersion>& versions) {
  store::record::visitRecords(visitor, versions, [](const KVRPackageVersion& r, store::record::FieldVisitor& v) {
#define QB_VISIT_VERSION_FIELD(Type, name, Setter, Initial) store::record::visit(v, r.name());
    KVRPACKAGEVERSION_PROPERTIES(QB_VISIT_VERSION_FIELD)
#undef QB_VISIT_VERSION_FIELD
  });
}
}  // namespace

void KVSourceIndexImport::write(Pending& pending) {
  KVRPackage& record = pending.record;
  mark(written_, pending.hash);
  record.setAvailableVersions(std::move(pending.versions));
  // A record read from the database is updated; a new one goes straight in, its fields
  // bound as they are.
  if (record.objectId() != 0) {
    seen_.push_back(db_->addOrUpdate(std::move(record).toObject()));
    return;
  }
  seen_.push_back(store::record::addRecord(*db_, record, [](const KVRPackage& r, store::record::FieldVisitor& visitor) {
#define QB_VISIT_FIELD(Type, name, Setter, Initial) visitField(visitor, r.name());
    KVRPACKAGE_PROPERTIES(QB_VISIT_FIELD)
#undef QB_VISIT_FIELD
  }));
  mark(known_, pending.hash);  // a later version of it finds it in the table
  if (!leftovers_) return;
  // What this thread made for the record goes here; the rest, the entry's texts, goes
  // back to the thread that made them.
  record.setAvailableVersions({});
  leftoverBatch_.push_back(std::move(record));
  if (leftoverBatch_.size() >= kLeftoverBatch) handOnLeftovers();
}

void KVSourceIndexImport::handOnLeftovers() {
  if (leftoverBatch_.empty()) return;
  leftovers_(std::move(leftoverBatch_));
  leftoverBatch_.clear();
}
