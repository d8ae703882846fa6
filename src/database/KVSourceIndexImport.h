#pragma once
// Applies one source's index, read into entries (KVIndexEntry), to the package records in
// one write transaction: a record per package identifier (the highest version any source
// offers), the other versions as version entries, the source's packages that the index no
// longer offers deleted (installed ones kept), and the source's count and refresh marks.
//
// Each record is written once per run however many versions of it the index lists (the
// records being worked on wait in a small window), so an identifier with many versions
// costs time in proportion to them.
//
// What one index may bring is bounded, and an index past a ceiling is refused as it is
// read, its transaction cancelled: the source and the database stay as they were.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database/KVIndexEntry.h"
#include "database/KVRPackage.h"
#include "foundation/Date.h"
#include "foundation/Error.h"

namespace store {
class Database;
}

inline constexpr const char* KVSourceIndexImportErrorDomain = "KVSourceIndexImport";

class KVSourceIndexImport {
 public:
  struct Settings {
    std::string location;     // the source
    Date date;                // the refresh batch's date
    std::string dateString;   // its "yyyy-MM-dd HH:mm" text
    // For a followed source: the identifiers it offered before, to tell the new ones.
    std::optional<std::unordered_set<std::string>> previousIdentifiers;
    // The most entries (stanzas that name a package) the index may hold, and the most
    // package records the database may hold after it.
    size_t maxEntries = kMaximumSourceEntries;
    size_t maxRecords = kMaximumDatabaseRecords;
  };
  // The largest real repositories offer some tens of thousands of packages (Debian's
  // main index about 64,000), and Debian's index four times over (253,744 stanzas) is
  // refreshed whole; a source offers at most a little more than that. The database holds
  // a few such sources beside a device's usual ones.
  static constexpr size_t kMaximumSourceEntries = 300'000;
  static constexpr size_t kMaximumDatabaseRecords = 1'000'000;
  // Which ceiling refused an index.
  enum class Ceiling { None, SourceEntries, DatabaseRecords };
  struct Outcome {
    size_t applied = 0;  // entries applied
    size_t refused = 0;  // stanzas refused for their name or version
    std::string totalPackages;
    // Followed sources only: identifiers the source offers now and did not before.
    std::vector<std::string> newIdentifiers;
    // Packages whose cached images must go (a new version, or deleted).
    std::vector<std::string> cachedImagesToRemove;
    bool sourceMissing = false;  // the source record is gone: nothing was written
    Ceiling ceiling = Ceiling::None;  // the index was refused: nothing was written
  };
  // The next entry, waiting for it; nothing at the end of the index. The entry is the
  // import's until it asks for the next one: it may leave in it what it no longer needs
  // (a written record, to be filled again in place).
  using NextEntry = std::function<KVIndexEntry*()>;

  explicit KVSourceIndexImport(Settings settings);

  // Applies every entry in one write transaction of `db`. `beforeCommit` runs after the
  // last entry, inside the transaction: an error from it cancels everything, and so does
  // a failure of the store. Answers that error, or none once the transaction has
  // committed (or, for a source that no longer exists, at once without reading). An
  // index past a ceiling stops the reading where it passes it (the rest of the entries
  // are not asked for, nor `beforeCommit` called) and answers an error.
  [[nodiscard]] ErrorRef apply(store::Database& db, const NextEntry& next, const std::function<ErrorRef()>& beforeCommit,
                               Outcome& outcome);

  // Works out what an entry's record takes from this run, apart from the transaction
  // (on the thread that reads the entries, while `apply` runs): the record a new
  // identifier gets, whole, its version entry, its lists encoded as the store keeps them
  // and the identifier's hash. `apply` prepares an entry that was not.
  void prepare(KVIndexEntry& entry) const;

  // Records worked on kept in memory before they are written; a record that leaves this
  // window and comes back is read again.
  static constexpr size_t kPendingRecords = 256;

 private:
  struct Pending {
    // Never null. A record is swapped in from an entry and its place's earlier record
    // goes back in the entry, to be filled again: records are made once, not each time.
    std::unique_ptr<KVRPackage> record = std::make_unique<KVRPackage>();
    // Its version entries apart, the first `versionCount` of `versions` (the others kept
    // for their room).
    std::vector<KVRPackageVersion> versions;
    size_t versionCount = 0;
    // The record's four lists as the store keeps them, when they came from an entry
    // (KVIndexEntry::lists), so that they are not encoded in the transaction.
    std::array<std::string, 4> lists;
    bool listsEncoded = false;
    std::unordered_set<std::string> versionTexts;  // once there are many versions
    // Read as this source left it in an earlier run, and not yet met in this one: the
    // source's first entry of it tells whether the source has lowered its version.
    bool heldFromEarlierRun = false;
    // Its place among the source's records before this run, when it is one of them.
    size_t ownPlace = kNotOwn;
    std::optional<std::string> versionBeforeLowering;  // the stored version, once lowered
    size_t hash = 0;  // of the identifier: worked out once for the window and the filters
  };
  using PendingList = std::list<Pending>;
  // An identifier with its hash, which the window's map and the filters share.
  struct HashedKey {
    std::string_view text;
    size_t hash;
    bool operator==(const HashedKey& other) const { return hash == other.hash && text == other.text; }
  };
  struct KeyHash {
    size_t operator()(const HashedKey& key) const { return key.hash; }
  };
  static size_t hashOf(std::string_view identifier) { return std::hash<std::string_view>{}(identifier); }

  void applyEntry(KVIndexEntry& entry, Outcome& outcome);
  // The record of `identifier` as this run has it: pending, read from the database, or none.
  Pending* recordFor(const std::string& identifier, size_t hash);
  // A new place in the window, holding `record` (swapped in).
  Pending& addPending(std::unique_ptr<KVRPackage>& record, size_t hash);
  void evictIfFull();
  void flushAll();
  // Writes the records, in that order (new ones several to a statement).
  void write(Pending* const* batch, size_t count);
  // Records that leave the window at once when it is full.
  static constexpr size_t kEvictedTogether = 16;
  // Adds the entry's version to the record unless it has that version already (the
  // entry's version entry is swapped in).
  static void addVersion(Pending& pending, KVIndexEntry& entry);
  static bool hasVersion(Pending& pending, const std::string& version);
  // Whether the record follows this source down to `version`: no other source's version
  // entry is higher.
  bool mayLower(const Pending& pending, const std::string& version) const;
  static constexpr size_t kVersionsSearchedInTurn = 8;
  static constexpr size_t kNotOwn = static_cast<size_t>(-1);
  // Whether the index has passed a ceiling so far (noted in the outcome).
  bool passedCeiling(Outcome& outcome) const;
  // The records the table would hold after this index, once it is in: those before it,
  // the new ones, less the source's that it no longer offers.
  size_t recordsAfter(size_t stale) const { return recordsBefore_ + added_ - stale; }
  size_t deleteStalePackages(Outcome& outcome);
  static size_t filterWords(size_t identifiers);
  static void mark(std::vector<uint64_t>& filter, size_t hash);
  static bool mayHold(const std::vector<uint64_t>& filter, size_t hash);

  Settings settings_;
  store::Database* db_ = nullptr;
  std::vector<int64_t> seen_;  // rows of the records the index offers
  // Identifiers in the table (before this run, or written by it), as a filter: any other
  // has no record.
  std::vector<uint64_t> known_;
  std::vector<int64_t> staleCandidates_;  // the source's records not installed, before this run
  // The source's records before this run (sorted by row), and which of them this run has
  // written: a record of the source read back is from an earlier run exactly when it is
  // one of them not yet written.
  std::vector<int64_t> own_;
  std::vector<bool> ownWritten_;
  size_t recordsBefore_ = 0;  // in the table before this run
  size_t added_ = 0;          // new records written
  PendingList pending_;        // most recently touched first
  // A written record's node, kept for the next record, with what it holds.
  PendingList spare_;
  using Index = std::unordered_map<HashedKey, PendingList::iterator, KeyHash>;
  Index index_;  // by the records' identifiers
  std::vector<Index::node_type> spareKeys_;  // the index's nodes of records written, reused
};
