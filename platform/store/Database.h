#pragma once
// The object database: record classes stored as SQLite tables in one file (WAL), read
// as values, written inside write transactions. Any thread may read and write; one
// writer at a time (others wait), and readers never wait for the writer. Reads outside
// a write transaction never raise for a failure of the file: a record that is gone
// reads as absent, a query that cannot run reads as empty (and says why). After every
// commit the observers are told on the queue each chose, the main queue by default;
// what changed for a query is worked out on a thread of the store's own.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Dispatch.h"
#include "foundation/Expected.h"
#include "foundation/NotificationToken.h"
#include "foundation/Value.h"
#include "store/CollectionChange.h"
#include "store/Configuration.h"
#include "store/Results.h"
#include "store/StoreObject.h"

namespace store {

class Database : public std::enable_shared_from_this<Database> {
 public:
  // Opens the file of the configuration, creating it when missing, migrating it when
  // older, compacting it when asked. A file already open in this process is shared; a
  // thread that opens it while another migrates it waits for the migration, and a
  // migration step that opens it gets the database being migrated (it reads what the
  // migration has done so far). Answers an error in StoreErrorDomain when the file is
  // unreadable, is no database, is damaged, needs a migration that was not given, or
  // comes from a newer schema version.
  static Expected<std::shared_ptr<Database>> open(const Configuration& configuration);

  // The process-wide default configuration and the database it opens (on first use).
  static void setDefaultConfiguration(Configuration configuration);
  static Configuration defaultConfiguration();
  static Expected<std::shared_ptr<Database>> openDefaultDatabase();
  // The default database, or null (and the failure logged) when it cannot be opened.
  static std::shared_ptr<Database> defaultDatabase();

  // Removes the database file with the engine's companion files ("-wal", "-shm",
  // "-journal", ".lock", ".note", ".management") and forgets an open instance of it.
  // Answers whether anything was removed.
  static bool deleteFiles(const std::string& path);

  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  const Configuration& configuration() const;
  const Schema& schema() const;
  const std::string& path() const;
  uint64_t schemaVersion() const;

  // ---- Write transactions (begin and end on the same thread; no nesting)
  // Runs the block in a write transaction and commits it: the one way code outside the
  // store writes. What the block did is either committed whole or not at all. A failure
  // of the file or the engine (a full disk, a read-only or damaged file, a lock held too
  // long) or of the data (a primary key taken, a required value missing, a record gone)
  // cancels the transaction and is answered as an error in StoreErrorDomain, which the
  // caller must handle. A programming error (an unknown class or property, a bad
  // predicate, a nested transaction) and any other exception the block throws cancel it
  // too and are passed on: nothing catches them, so they end the process. A block that
  // ended the transaction itself is left so.
  [[nodiscard]] ErrorRef write(const std::function<void()>& block);
  [[nodiscard]] ErrorRef transaction(const std::function<void()>& block) { return write(block); }
  // The steps of a transaction, for the store's own opening and for tests of it; they
  // raise StoreException.
  void beginWrite();
  void commitWrite();
  void cancelWrite();
  bool inWriteTransaction() const;  // on the calling thread

  // ---- Reading (an unknown class or property, or a bad predicate, raises
  // StoreException: those are programming errors)
  StoreObject makeObject(const std::string& className) const;
  Results objects(const std::string& className);
  template <typename... Args>
  Results objects(const std::string& className, std::string_view predicate, Args&&... args) {
    return objectsWhere(className, predicate, std::vector<Value>{Value(std::forward<Args>(args))...});
  }
  Results objectsWhere(const std::string& className, std::string_view predicate, std::vector<Value> arguments);
  std::optional<StoreObject> objectForPrimaryKey(const std::string& className, const Value& key);
  std::optional<StoreObject> objectWithId(const std::string& className, int64_t objectId);

  // ---- Writing (inside a write transaction; StoreException otherwise)
  // Inserts; an existing primary key raises PrimaryKeyExists. Answers the row id (read
  // the record again to see the ids of records it links to).
  int64_t add(const StoreObject& object);
  // Inserts or, when the primary key (or, for a class without one, the row) exists,
  // replaces every property. Linked records without a row id are added.
  int64_t addOrUpdate(const StoreObject& object);
  void addOrUpdate(const std::vector<StoreObject>& objects);
  // Sets only the properties named in `values` (a dictionary; the primary key among
  // them) on the record with that key, creating it with initial values otherwise.
  StoreObject createOrUpdate(const std::string& className, const Value& values);
  // Sets one property of a stored object.
  void setValue(const StoreObject& object, const std::string& property, const Value& value);
  void deleteObject(const StoreObject& object);
  void deleteObjects(const Results& results);
  void deleteAllObjects(const std::string& className);
  void deleteAll();

  // ---- Change notifications after each commit, on `queue` (which must outlive the
  // token; null: the store's own notifying thread). Commits that land close together
  // may be told together.
  [[nodiscard]] NotificationToken observe(std::function<void()> block,
                                          DispatchQueue* queue = &DispatchQueue::mainQueue());
  [[nodiscard]] NotificationToken observeClass(const std::string& className,
                                               std::function<void(const ClassChange&)> block,
                                               DispatchQueue* queue = &DispatchQueue::mainQueue());

  // Waits until what was committed so far has been worked out off this thread: the
  // observers' results computed and the columns kept in memory current (queries
  // answer from the file until then). Not on the notifying thread itself.
  void settle();
  // How many commits have changed records of `className` since the file was opened, for
  // a class whose columns are kept in memory (none for the others, whose commits are not
  // counted): what was worked out from those records holds while the count stays.
  std::optional<uint64_t> commitsChanging(const std::string& className) const;

  // ---- File
  struct FileSizes {
    uint64_t totalBytes = 0;
    uint64_t usedBytes = 0;
  };
  FileSizes fileSizes();
  // Rewrites the file without its free pages. Not inside a write transaction.
  void compact();

  struct Impl;
  Impl& impl() { return *impl_; }

 private:
  friend class Results;
  friend class Migration;
  Database();
  // Opens the file, or joins its opening; `complete` tells whether the database
  // answered is fully open (not so when a migration step opens the file it migrates).
  static Expected<std::shared_ptr<Database>> openFile(const Configuration& configuration, bool* complete);
  std::unique_ptr<Impl> impl_;
};

}  // namespace store
