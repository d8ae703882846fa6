#pragma once
// Applies one source's index, read into entries (KVIndexEntry), to the package records in
// one write transaction: a record per package identifier (the highest version any source
// offers), the other versions as version entries, the source's packages that the index no
// longer offers deleted (installed ones kept), and the source's count and refresh marks.
//
// Each record is written once per run however many versions of it the index lists (the
// records being worked on wait in a small window), so an identifier with many versions
// costs time in proportion to them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
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
  };
  struct Outcome {
    size_t applied = 0;  // entries applied
    size_t refused = 0;  // stanzas refused for their name or version
    std::string totalPackages;
    // Followed sources only: identifiers the source offers now and did not before.
    std::vector<std::string> newIdentifiers;
    // Packages whose cached images must go (a new version, or deleted).
    std::vector<std::string> cachedImagesToRemove;
    bool sourceMissing = false;  // the source record is gone: nothing was written
  };
  // The next entry, waiting for it; nothing at the end of the index.
  using NextEntry = std::function<std::optional<KVIndexEntry>()>;

  explicit KVSourceIndexImport(Settings settings);

  // Applies every entry in one write transaction of `db`. `beforeCommit` runs after the
  // last entry, inside the transaction: an error from it cancels everything, and so does
  // a failure of the store. Answers that error, or none once the transaction has
  // committed (or, for a source that no longer exists, at once without reading).
  [[nodiscard]] ErrorRef apply(store::Database& db, const NextEntry& next, const std::function<ErrorRef()>& beforeCommit,
                               Outcome& outcome);

  // Hands on the records once written, a batch at a time, to be let go of by whoever
  // made most of what they hold (the thread that read the entries), rather than here.
  // Without it they are let go of here.
  using Leftovers = std::function<void(std::vector<KVRPackage>&& records)>;
  void setLeftovers(Leftovers leftovers) { leftovers_ = std::move(leftovers); }
  static constexpr size_t kLeftoverBatch = 32;

  // Records worked on kept in memory before they are written; a record that leaves this
  // window and comes back is read again.
  static constexpr size_t kPendingRecords = 256;

 private:
  struct Pending {
    KVRPackage record;  // its version entries apart, in `versions`
    std::vector<KVRPackageVersion> versions;
    std::unordered_set<std::string> versionTexts;  // once there are many versions
    // Read as this source left it in an earlier run, and not yet met in this one: the
    // source's first entry of it tells whether the source has lowered its version.
    bool heldFromEarlierRun = false;
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
  Pending& addPending(KVRPackage&& record, size_t hash);
  void evictIfFull();
  void flushAll();
  void write(Pending& pending);
  void handOnLeftovers();
  // Adds the entry's version to the record unless it has that version already.
  static void addVersion(Pending& pending, const KVIndexEntry& entry, const std::string& location);
  static bool hasVersion(Pending& pending, const std::string& version);
  // Whether the record follows this source down to `version`: no other source's version
  // entry is higher.
  bool mayLower(const Pending& pending, const std::string& version) const;
  static constexpr size_t kVersionsSearchedInTurn = 8;
  void deleteStalePackages(Outcome& outcome);
  static size_t filterWords(size_t identifiers);
  static void mark(std::vector<uint64_t>& filter, size_t hash);
  static bool mayHold(const std::vector<uint64_t>& filter, size_t hash);

  Settings settings_;
  store::Database* db_ = nullptr;
  std::vector<int64_t> seen_;  // rows of the records the index offers
  // Identifiers in the table (before this run, or written by it), as a filter: any other
  // has no record.
  std::vector<uint64_t> known_;
  std::vector<uint64_t> written_;  // identifiers this run has written, as a filter like it
  std::vector<int64_t> staleCandidates_;  // the source's records not installed, before this run
  PendingList pending_;        // most recently touched first
  // A written record's node, kept for the next record: a record is large enough that
  // allocating one for each would cost more than the moves into it.
  PendingList spare_;
  Leftovers leftovers_;
  std::vector<KVRPackage> leftoverBatch_;
  std::unordered_map<HashedKey, PendingList::iterator, KeyHash> index_;  // by the records' identifiers
};
