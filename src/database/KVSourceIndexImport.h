#pragma once
// Applies one source's Packages index to the package records, in one write transaction:
// a record per package identifier (the highest version any source offers), the other
// versions as version entries, the source's packages that the index no longer offers
// deleted (installed ones kept), and the source's count and refresh marks.
//
// Identifiers and versions come from a remote index: a stanza whose Package is no Debian
// package name or whose Version is no Debian version is refused (logged) and the rest of
// the index applied. Each record is written once per run however many versions of it the
// index lists, so an identifier with many versions costs time in proportion to them.
#include <cstddef>
#include <functional>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "database/KVRPackage.h"
#include "foundation/Date.h"
#include "foundation/Error.h"

class KVStanza;
class KVStanzaReader;
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
    bool showIncompatiblePackages = false;
    std::string systemVersion;  // the device's, against "firmware" limits
    // For a followed source: the identifiers it offered before, to tell the new ones.
    std::optional<std::unordered_set<std::string>> previousIdentifiers;
  };
  struct Outcome {
    size_t applied = 0;  // stanzas applied
    size_t refused = 0;  // stanzas refused for their name or version
    std::string totalPackages;
    // Followed sources only: identifiers the source offers now and did not before.
    std::vector<std::string> newIdentifiers;
    // Packages whose cached images must go (a new version, or deleted).
    std::vector<std::string> cachedImagesToRemove;
    bool sourceMissing = false;  // the source record is gone: nothing was written
  };

  explicit KVSourceIndexImport(Settings settings);

  // Reads every stanza from `reader` and applies it in one write transaction of `db`.
  // `beforeCommit` runs after the last stanza, inside the transaction: an error from it
  // cancels everything, and so does a failure of the store. Answers that error, or none
  // once the transaction has committed (or, for a source that no longer exists, at once
  // without reading).
  [[nodiscard]] ErrorRef apply(store::Database& db, KVStanzaReader& reader,
                               const std::function<ErrorRef()>& beforeCommit, Outcome& outcome);

  // Records touched by the run kept in memory before they are written; a record that
  // leaves this window and comes back is read again.
  static constexpr size_t kPendingRecords = 4096;

 private:
  struct Pending {
    KVRPackage record;  // its version entries apart, in `versions`
    std::vector<KVRPackageVersion> versions;
    std::unordered_set<std::string> versionTexts;
  };
  using PendingList = std::list<Pending>;

  void applyStanza(KVStanza& stanza, Outcome& outcome);
  // The record of `identifier` as this run has it: pending, read from the database, or none.
  Pending* recordFor(const std::string& identifier);
  Pending& addPending(KVRPackage record);
  void touch(PendingList::iterator it);
  void evictIfFull();
  void flushAll();
  void write(Pending& pending);
  // Adds version `version` of `filename` to the record unless it has that version already.
  void addVersion(Pending& pending, const KVStanza& stanza, const std::string& identifier, const std::string& version);
  std::string fileLocation(std::string_view filename) const;

  Settings settings_;
  store::Database* db_ = nullptr;
  std::unordered_set<std::string> seen_;
  PendingList pending_;  // most recently touched first
  std::unordered_map<std::string, PendingList::iterator> index_;
};
