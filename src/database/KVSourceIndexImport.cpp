#include "database/KVSourceIndexImport.h"

#include <algorithm>
#include <iterator>
#include <string_view>
#include <type_traits>
#include <utility>

#include "database/KVRSource.h"
#include "database/NSStringVersionCompare.h"
#include "foundation/Log.h"
#include "store/FieldVisitor.h"
#include "store/StringListCodec.h"
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
      for (const auto& id : identifiers)
        if (id.isString()) mark(known_, hashOf(*id.stringPtr()));
      recordsBefore_ = identifiers.size();
    }
    added_ = 0;
    staleCandidates_ =
        db.objects(KVRPackage::className(), "sourceLocation = %@ AND isInstalled = 0", settings_.location).objectIds();
    own_ = staleCandidates_;
    const std::vector<int64_t> kept =
        db.objects(KVRPackage::className(), "sourceLocation = %@ AND NOT (isInstalled = 0)", settings_.location).objectIds();
    own_.insert(own_.end(), kept.begin(), kept.end());
    std::sort(own_.begin(), own_.end());
    ownWritten_.assign(own_.size(), false);
    while (auto entry = next()) {
      applyEntry(*entry, outcome);
      if (passedCeiling(outcome)) break;
    }
    if (outcome.ceiling == Ceiling::None && beforeCommit) failure = beforeCommit();
    if (!failure && outcome.ceiling == Ceiling::None) {
      flushAll();
      // Exact now: the new records are all in and the stale ones known. A database past its
      // ceiling already (from before there was one) may still refresh a source that does
      // not make it larger.
      const size_t after = recordsAfter(deleteStalePackages(outcome));
      if (after > settings_.maxRecords && after > recordsBefore_) outcome.ceiling = Ceiling::DatabaseRecords;
    }
    if (outcome.ceiling != Ceiling::None) {
      failure = makeError(KVSourceIndexImportErrorDomain, 8, outcome.ceiling == Ceiling::SourceEntries
                                                                 ? "The index offers more packages than a source may"
                                                                 : "The index would take the database past its ceiling");
    }
    if (failure) {
      db.cancelWrite();
      return;
    }

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

// While the entries come: the source's entries so far, and the records the table will
// hold at least (its records before the run and the new ones written, less every record
// of the source that may yet prove stale), each against its ceiling.
bool KVSourceIndexImport::passedCeiling(Outcome& outcome) const {
  if (outcome.applied + outcome.refused > settings_.maxEntries) {
    outcome.ceiling = Ceiling::SourceEntries;
  } else {
    const size_t atLeast = recordsAfter(staleCandidates_.size());
    if (atLeast > settings_.maxRecords && atLeast > recordsBefore_) outcome.ceiling = Ceiling::DatabaseRecords;
  }
  return outcome.ceiling != Ceiling::None;
}

// The source's packages that the index no longer offers, unless installed; answers how
// many went.
size_t KVSourceIndexImport::deleteStalePackages(Outcome& outcome) {
  if (staleCandidates_.empty()) return 0;
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
  const size_t count = stale.size();
  if (!stale.empty()) db_->deleteObjects(db_->objects(KVRPackage::className(), "identifier IN %@", Value(std::move(stale))));
  return count;
}

namespace {
// Fills a text field in place: it keeps its room.
void assign(std::optional<std::string>& field, const std::string& value) {
  if (field) field->assign(value);
  else field.emplace(value);
}

// The fields a new record takes from its entry (KVIndexEntry::read) or from the run
// (prepare); every other field is set as a new record has it.
constexpr std::string_view kFieldsFromTheIndex[] = {
    "identifier", "version", "location", "name", "isEssential", "category", "Description", "website",
    "iconURL", "contact", "maintainer", "size", "minosversion", "maxosversion", "sileoDepiction",
    "tweakCompatibleStatus", "price", "rawPackage", "postinstallaction", "dependencies", "conflicts", "architecture",
    "provides", "replaces", "initialDateStr", "initialDate", "isUpdated", "updatedDate", "updatedDateStr",
    "sourceLocation", "hasNewVersion"};
constexpr bool isFromTheIndex(std::string_view field) {
  for (std::string_view name : kFieldsFromTheIndex)
    if (name == field) return true;
  return false;
}
// Which of KVIndexEntry::lists a list field is, or -1.
constexpr int encodedListOf(std::string_view field) {
  if (field == "dependencies") return KVIndexEntry::kDependencies;
  if (field == "conflicts") return KVIndexEntry::kConflicts;
  if (field == "provides") return KVIndexEntry::kProvides;
  if (field == "replaces") return KVIndexEntry::kReplaces;
  return -1;
}
}  // namespace

void KVSourceIndexImport::prepare(KVIndexEntry& entry) const {
  entry.prepared = true;
  if (entry.refused) return;
  KVRPackage& r = *entry.record;
  entry.hash = hashOf(r.identifier());
  if (r.location()) {
    KVRPackageVersion& v = entry.versionEntry;
    v.setObjectId(0);  // it may have been a stored one
    assign(v.sourceField(), settings_.location);
    assign(v.fileLocationField(), *r.location());
    assign(v.versionField(), *r.version());
  }
  if (entry.incompatible) return;  // it makes no record
  // The record may have been another one before: whatever the entry did not fill is set
  // as a new record has it, so nothing of that one is left.
  r.setObjectId(0);
#define QB_RESET_FIELD(Type, name, Setter, Initial) \
  if constexpr (!isFromTheIndex(#name)) r.name##Field() = Type(Initial);
  KVRPACKAGE_PROPERTIES(QB_RESET_FIELD)
#undef QB_RESET_FIELD
  assign(r.initialDateStrField(), settings_.dateString);
  r.initialDateField() = settings_.date;
  r.isUpdatedField() = entry.essential;
  r.updatedDateField() = settings_.date;
  assign(r.updatedDateStrField(), settings_.dateString);
  assign(r.sourceLocationField(), settings_.location);
  r.hasNewVersionField() = false;
  store::lists::encodeInto(entry.lists[KVIndexEntry::kDependencies], r.dependencies());
  store::lists::encodeInto(entry.lists[KVIndexEntry::kConflicts], r.conflicts());
  store::lists::encodeInto(entry.lists[KVIndexEntry::kProvides], r.provides());
  store::lists::encodeInto(entry.lists[KVIndexEntry::kReplaces], r.replaces());
}

void KVSourceIndexImport::applyEntry(KVIndexEntry& entry, Outcome& outcome) {
  if (entry.refused) {
    ++outcome.refused;
    KVLog("Refusing the package \"%s\" version \"%s\" of %s: not a Debian package name and version",
          entry.package.c_str(), entry.version().c_str(), settings_.location.c_str());
    return;
  }
  if (!entry.prepared) prepare(entry);
  ++outcome.applied;
  KVRPackage& e = *entry.record;
  const std::string& identifier = e.identifier();
  const std::string& version = entry.version();

  Pending* existing = recordFor(identifier, entry.hash);
  if (!existing) {
    if (entry.incompatible) return;
    // A new record: the entry's, as prepared. The place's earlier record goes back in
    // the entry.
    Pending& pending = addPending(entry.record, entry.hash);
    pending.lists.swap(entry.lists);
    pending.listsEncoded = true;
    if (pending.record->location()) {
      pending.versions.resize(std::max<size_t>(pending.versions.size(), 1));
      std::swap(pending.versions[0], entry.versionEntry);
      pending.versionCount = 1;
    }
    return;
  }
  // A lower version than the record's only adds a version entry: the record keeps the
  // highest version offered. But when the record came from this source in an earlier run
  // and the source's first entry of it now is lower, the source has lowered its version
  // and no longer offers the record's: the record follows it down (later entries of the
  // index may raise it again), unless another source offers more.
  KVRPackage& x = *existing->record;
  bool lowered = false;
  if (NSStringVersionCompare::greaterThan(x.version().value_or(""), version)) {
    lowered = std::exchange(existing->heldFromEarlierRun, false) && mayLower(*existing, version);
    if (!lowered) {
      addVersion(*existing, entry);
      return;
    }
  }
  existing->heldFromEarlierRun = false;
  if (entry.incompatible) {
    // Its identifier still counts as offered: an existing record stays as it is.
    if (x.objectId()) seen_.push_back(x.objectId());
    return;
  }
  if (lowered) existing->versionBeforeLowering = x.version();

  // Within a run that lowered it, the version the record had before the run.
  const std::optional<std::string> previousVersion =
      existing->versionBeforeLowering ? existing->versionBeforeLowering : x.version();
  const bool sameVersion = previousVersion == version;
  const bool fromDPKG = x.sourceLocation() == KVRPackage::kDPKGSourceLocation;
  const bool installed = x.isInstalled().value_or(false);
  const bool installedOlder =
      !sameVersion && x.installedVersion() && NSStringVersionCompare::lessThan(*x.installedVersion(), version);
  if (fromDPKG) {
    x.setIsInstalledUsingAnotherPM(true);
    x.setSourceLocation(settings_.location);
  }
  if (!sameVersion) outcome.cachedImagesToRemove.push_back(identifier);
  x.setIsUpdated((installed || fromDPKG) ? installedOlder : entry.essential);
  if (!x.updatedDate() || (previousVersion && NSStringVersionCompare::lessThan(*previousVersion, version))) {
    x.setUpdatedDate(settings_.date);
    assign(x.updatedDateStrField(), settings_.dateString);
  }
  assign(x.sourceLocationField(), settings_.location);
  x.setHasNewVersion(true);
  x.setIsEssential(entry.essential);
  // The entry's fields are swapped in: what the record held goes back with the entry.
  std::swap(x.categoryField(), e.categoryField());
  std::swap(x.DescriptionField(), e.DescriptionField());
  std::swap(x.websiteField(), e.websiteField());
  std::swap(x.iconURLField(), e.iconURLField());
  std::swap(x.contactField(), e.contactField());
  std::swap(x.maintainerField(), e.maintainerField());
  std::swap(x.sizeField(), e.sizeField());
  std::swap(x.minosversionField(), e.minosversionField());
  std::swap(x.maxosversionField(), e.maxosversionField());
  std::swap(x.sileoDepictionField(), e.sileoDepictionField());
  std::swap(x.architectureField(), e.architectureField());
  x.setTweakCompatibleStatus(e.tweakCompatibleStatus());
  std::swap(x.priceField(), e.priceField());
  std::swap(x.rawPackageField(), e.rawPackageField());
  std::swap(x.postinstallactionField(), e.postinstallactionField());
  std::swap(x.conflictsField(), e.conflictsField());
  std::swap(x.providesField(), e.providesField());
  std::swap(x.replacesField(), e.replacesField());
  std::swap(x.dependenciesField(), e.dependenciesField());
  existing->lists.swap(entry.lists);
  existing->listsEncoded = true;
  addVersion(*existing, entry);
  // Last: `version` is the entry's, and goes with the swap.
  if (e.location()) std::swap(x.locationField(), e.locationField());
  std::swap(x.versionField(), e.versionField());
  std::swap(x.nameField(), e.nameField());
}

// A few versions are searched one by one; many through a set of their texts, made when
// it is first needed, so that an identifier with many versions costs no more than them.
bool KVSourceIndexImport::hasVersion(Pending& pending, const std::string& version) {
  if (pending.versionCount <= kVersionsSearchedInTurn) {
    for (size_t i = 0; i < pending.versionCount; ++i)
      if (pending.versions[i].version() == version) return true;
    return false;
  }
  if (pending.versionTexts.empty()) {
    for (size_t i = 0; i < pending.versionCount; ++i)
      if (pending.versions[i].version()) pending.versionTexts.insert(*pending.versions[i].version());
  }
  return pending.versionTexts.count(version) > 0;
}

bool KVSourceIndexImport::mayLower(const Pending& pending, const std::string& version) const {
  for (size_t i = 0; i < pending.versionCount; ++i) {
    const KVRPackageVersion& v = pending.versions[i];
    if (v.source() != settings_.location && v.version() && NSStringVersionCompare::greaterThan(*v.version(), version))
      return false;
  }
  return true;
}

void KVSourceIndexImport::addVersion(Pending& pending, KVIndexEntry& entry) {
  const KVRPackage& e = *entry.record;
  if (!e.location() || hasVersion(pending, entry.version())) return;
  KVRPackage& record = *pending.record;
  if (!record.name() || record.name()->empty()) record.setName(e.name());
  if (pending.versionCount == pending.versions.size()) pending.versions.emplace_back();
  std::swap(pending.versions[pending.versionCount++], entry.versionEntry);
  if (!pending.versionTexts.empty()) pending.versionTexts.insert(entry.version());
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
// `words` is a power of two (filterWords), so a bit's place is the hash's low bits.
template <typename Visit>
void filterBits(size_t hash, size_t words, Visit visit) {
  uint64_t h = hash;
  uint64_t step = (h >> 32) | 1;
  const uint64_t mask = static_cast<uint64_t>(words) * 64 - 1;
  for (int i = 0; i < 3; ++i, h += step) visit(static_cast<size_t>((h & mask) / 64), uint64_t{1} << (h % 64));
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
  auto record = std::make_unique<KVRPackage>(KVRPackage::fromObject(*stored));
  Pending& pending = addPending(record, hash);
  pending.versions = std::move(pending.record->availableVersionsField());
  pending.versionCount = pending.versions.size();
  pending.record->availableVersionsField().clear();
  // One of the source's records from before this run, unless this run has written it
  // already (it then left the window and came back): a record of the source that is
  // none of them was made or taken over by this run.
  auto place = std::lower_bound(own_.begin(), own_.end(), pending.record->objectId());
  if (place != own_.end() && *place == pending.record->objectId()) {
    pending.ownPlace = static_cast<size_t>(place - own_.begin());
    pending.heldFromEarlierRun = !ownWritten_[pending.ownPlace];
  }
  return &pending;
}

KVSourceIndexImport::Pending& KVSourceIndexImport::addPending(std::unique_ptr<KVRPackage>& record, size_t hash) {
  evictIfFull();
  if (spare_.empty()) pending_.emplace_front();
  else pending_.splice(pending_.begin(), spare_, spare_.begin());
  Pending& pending = pending_.front();
  pending.record.swap(record);
  pending.versionCount = 0;
  pending.versionTexts.clear();
  pending.listsEncoded = false;
  pending.heldFromEarlierRun = false;
  pending.ownPlace = kNotOwn;
  pending.versionBeforeLowering.reset();
  pending.hash = hash;
  // The key is the record's own identifier, which stays where it is while it waits.
  const HashedKey key{pending.record->identifier(), hash};
  if (spareKeys_.empty()) {
    index_.emplace(key, pending_.begin());
  } else {
    Index::node_type node = std::move(spareKeys_.back());
    spareKeys_.pop_back();
    node.key() = key;
    node.mapped() = pending_.begin();
    index_.insert(std::move(node));
  }
  return pending;
}

void KVSourceIndexImport::evictIfFull() {
  if (pending_.size() < kPendingRecords) return;
  // The oldest few leave together, oldest first: the store writes new records several to
  // a statement.
  std::array<Pending*, kEvictedTogether> batch;
  auto first = pending_.end();
  size_t count = 0;
  while (count < kEvictedTogether && first != pending_.begin()) {
    --first;
    // Before the write, which takes the record's fields (its identifier too).
    spareKeys_.push_back(index_.extract(HashedKey{first->record->identifier(), first->hash}));
    batch[count++] = &*first;
  }
  write(batch.data(), count);
  spare_.splice(spare_.begin(), pending_, first, pending_.end());
}

void KVSourceIndexImport::flushAll() {
  // Oldest first, so the records reach the file in the order the index named them.
  index_.clear();
  spareKeys_.clear();
  std::vector<Pending*> batch;
  batch.reserve(pending_.size());
  for (auto it = pending_.rbegin(); it != pending_.rend(); ++it) batch.push_back(&*it);
  write(batch.data(), batch.size());
  pending_.clear();
  spare_.clear();
}

namespace {
// A list encoded with the entry it came from goes in as it is.
void visitField(store::record::FieldVisitor& visitor, const TextList& field, const std::string* encoded) {
  if (encoded) visitor.encodedTexts(*encoded);
  else store::record::visit(visitor, field);
}
void visitVersionFields(const KVRPackageVersion& r, store::record::FieldVisitor& v) {
#define QB_VISIT_VERSION_FIELD(Type, name, Setter, Initial) store::record::visit(v, r.name());
  KVRPACKAGEVERSION_PROPERTIES(QB_VISIT_VERSION_FIELD)
#undef QB_VISIT_VERSION_FIELD
}
}  // namespace

void KVSourceIndexImport::write(Pending* const* batch, size_t count) {
  // A record read from the database is updated; a new one goes straight in, its fields
  // bound as they are, with the other new ones of the batch.
  std::vector<Pending*> added;
  added.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    Pending& pending = *batch[i];
    KVRPackage& record = *pending.record;
    if (pending.ownPlace != kNotOwn) ownWritten_[pending.ownPlace] = true;
    if (record.objectId() == 0) {
      added.push_back(&pending);
      continue;
    }
    const auto versions = pending.versions.begin();
    record.availableVersionsField().assign(
        std::make_move_iterator(versions),
        std::make_move_iterator(versions + static_cast<std::ptrdiff_t>(pending.versionCount)));
    seen_.push_back(db_->addOrUpdate(std::move(record).toObject()));
  }
  if (added.empty()) return;
  auto visitRecord = [](const auto& r, auto& visitor, Pending& pending) {
    // (Generic, so that each field's branch is made only for its type.)
    const std::array<std::string, 4>* lists = pending.listsEncoded ? &pending.lists : nullptr;
    // The version entries go in field by field too, without objects of them.
    auto visitVersions = [&] {
      visitor.records(store::record::RecordList{
          pending.versionCount, KVRPackageVersion::schemaRef(),
          [&pending](size_t i, store::record::FieldVisitor& v) { visitVersionFields(pending.versions[i], v); },
          [&pending] {
            std::vector<store::StoreObject> objects;
            for (size_t i = 0; i < pending.versionCount; ++i) objects.push_back(pending.versions[i].toObject());
            return objects;
          }});
    };
#define QB_VISIT_FIELD(Type, name, Setter, Initial)                                                         \
  if constexpr (std::is_same_v<Type, std::vector<KVRPackageVersion>>) {                                     \
    visitVersions();                                                                                        \
  } else if constexpr (encodedListOf(#name) >= 0) {                                                         \
    visitField(visitor, r.name(), lists ? &(*lists)[static_cast<size_t>(encodedListOf(#name))] : nullptr); \
  } else {                                                                                                  \
    store::record::visit(visitor, r.name());                                                                \
  }
    KVRPACKAGE_PROPERTIES(QB_VISIT_FIELD)
#undef QB_VISIT_FIELD
  };
  std::vector<int64_t> ids(added.size());
  store::record::addManyFields(
      *db_, KVRPackage::className(), KVRPackage::schemaRef(), added.size(),
      [&](size_t i, store::record::FieldVisitor& visitor) { visitRecord(*added[i]->record, visitor, *added[i]); },
      [&](size_t i) { return added[i]->record->toObject(); }, ids.data());
  seen_.insert(seen_.end(), ids.begin(), ids.end());
  added_ += ids.size();
  // A later version of each finds it in the table.
  for (Pending* pending : added) mark(known_, pending->hash);
}
