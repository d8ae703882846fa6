#pragma once
// Inside of the object database (not for users of the store): connections, the
// per-class statements, the writer's state and the observers.
#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "store/Database.h"
#include "store/SqliteConnection.h"
#include "store/WalCheckpointer.h"

namespace store {

namespace record {
class FieldVisitor;
struct RecordList;
}

class MemoryColumns;

// The SQL of one class, made once per schema.
struct ClassInfo {
  ObjectSchemaRef schema;
  std::string table;                // quoted
  std::vector<size_t> columns;      // property positions stored as columns
  std::vector<size_t> links;        // property positions that are lists of links
  std::string selectList;           // "T"._id, "T"."a", ...
  std::string insertSql;            // the row's id bound last, at idParameter
  int idParameter = 1;
  // New rows go in kBatchRows to a statement where they come many at once: a statement's
  // own work (a cursor opened on the table and on each index, then closed) is then done
  // once for them all. Empty where that many rows would bind too many parameters.
  static constexpr size_t kBatchRows = 16;
  std::string batchInsertSql;       // kBatchRows rows, each bound as insertSql binds one
  std::string updateSql;            // all columns, only when something differs
  std::string selectByIdSql;
  std::string idByPrimaryKeySql;
  // The statements of each list of links, by property position.
  struct LinkSql {
    size_t property;
    std::string table;  // quoted
    std::string selectTargets, deleteOwner, insert;
    std::string batchInsert;  // kBatchRows links
  };
  std::vector<LinkSql> linkSql;
  const LinkSql& linkSqlFor(size_t property) const;
  // The class's columns kept in memory, if it keeps any (set once, with the store).
  MemoryColumns* memory = nullptr;
  // Lists of links of other classes that point here: (owner class, property).
  std::vector<std::pair<std::string, std::string>> incoming;

  static std::shared_ptr<ClassInfo> make(ObjectSchemaRef schema);
  std::string linkTable(size_t property) const;
};

class ChangeNotifier;
class WrittenRows;

// A column kept in memory as the writer bound it: Unfit when not bound as the column's
// own kind (the row is then read back from the file).
struct WrittenField {
  enum Kind : uint8_t { Unfit, Null, Text, Number } kind = Unfit;
  std::string_view text;
  int64_t number = 0;
};

// Rows of one class touched by a transaction, folded so that an insert followed by a
// delete leaves nothing and a change to an inserted row stays an insert.
// Row ids in ascending order. New rows come in that order, so adding one is appending
// it; an id out of order is sorted in when the set is next read.
class RowSet {
 public:
  void insert(int64_t id) {
    if (!ids_.empty() && id <= ids_.back()) ordered_ = false;
    ids_.push_back(id);
  }
  bool erase(int64_t id);
  size_t count(int64_t id) const;
  bool empty() const { return ids_.empty(); }
  // In ascending order, each once.
  const std::vector<int64_t>& ids() const;

 private:
  void order() const;
  mutable std::vector<int64_t> ids_;
  mutable bool ordered_ = true;
};

struct RowChanges {
  RowSet inserted;
  std::unordered_set<int64_t> modified, deleted;
  // For a class kept in memory: inserted rows as they were written (MemoryColumns.h).
  std::shared_ptr<WrittenRows> written;
  void insert(int64_t id);
  void modify(int64_t id);
  void remove(int64_t id);
  void merge(const RowChanges& later);
  bool empty() const { return inserted.empty() && modified.empty() && deleted.empty(); }
};
using ChangeSet = std::map<std::string, RowChanges>;

struct Database::Impl {
  Database* owner = nullptr;
  Configuration configuration;
  std::unordered_map<std::string, std::shared_ptr<ClassInfo>> classes;

  // Readers borrow idle connections; the writer has its own. A few are kept for the
  // threads that read at once (the main thread, the notifier has its own, a cache
  // rebuild or two); more would only hold memory.
  static constexpr size_t kIdleConnections = 3;
  static constexpr int kIdlePages = 1 << 20;  // bytes of pages an idle connection may keep
  std::mutex poolMutex;
  std::vector<std::unique_ptr<sql::Connection>> idle;
  std::unique_ptr<sql::Connection> writer;
  std::unique_ptr<WalCheckpointer> checkpointer;  // after the writer: it goes first
  std::mutex writeMutex;
  std::atomic<std::thread::id> writerThread{};
  ChangeSet transactionChanges;  // touched by the writer only
  // The changes recorded for the tables changed last (an import alternates between two
  // or three), found again without a look-up or a copy of the name.
  struct RecentChanges {
    std::string table;
    RowChanges* rows = nullptr;
  };
  std::array<RecentChanges, 3> recentChanges;
  size_t nextRecentChanges = 0;
  void forgetRecentChanges() {
    for (auto& recent : recentChanges) recent.rows = nullptr;
  }
  void forgetChanges() {
    transactionChanges.clear();
    forgetRecentChanges();
  }
  bool suppressChanges = false;  // while the opening transaction migrates

  // Works out and tells what commits changed.
  std::shared_ptr<ChangeNotifier> notifier;
  // The classes that keep columns in memory (MemoryColumns.h), kept current by the
  // notifier.
  std::unordered_map<std::string, std::shared_ptr<MemoryColumns>> memory;
  // Null for a class that keeps none, and on the writer's thread inside its
  // transaction (whose rows the copy does not hold).
  MemoryColumns* memoryFor(const std::string& className) const {
    if (memory.empty() || isWriterThread()) return nullptr;
    auto it = memory.find(className);
    return it == memory.end() ? nullptr : it->second.get();
  }

  // ---- connections
  class Lease {
   public:
    Lease(Impl& impl);
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    sql::Connection& operator*() const { return *connection_; }
    sql::Connection* operator->() const { return connection_; }

   private:
    Impl& impl_;
    sql::Connection* connection_;
    std::unique_ptr<sql::Connection> owned_;
  };
  std::unique_ptr<sql::Connection> openConnection(bool create);
  static void releaseIdlePages(sql::Connection& c);
  bool isWriterThread() const { return writerThread.load() == std::this_thread::get_id(); }
  sql::Connection& requireWriter(const char* operation);

  const ClassInfo& classInfo(const std::string& className) const;

  // ---- reading (DatabaseRead.cpp)
  StoreObject readRow(sql::Connection& c, const ClassInfo& info, const sql::Statement& st, int64_t id);
  std::optional<StoreObject> loadObject(sql::Connection& c, const ClassInfo& info, int64_t id);
  void loadLinks(sql::Connection& c, const ClassInfo& info, StoreObject& object);
  // Runs a read; outside a write transaction a failure of the file is logged and
  // reads as nothing (absent, empty). Inside one (the writer's thread) it is raised,
  // so that the write fails as a whole. Programming errors are always raised.
  template <typename Read>
  auto readOrNothing(const char* what, Read&& read) -> decltype(read()) {
    if (isWriterThread()) return read();
    try {
      return read();
    } catch (const StoreException& e) {
      if (!e.isFileFailure()) throw;
      logReadFailure(what, e);
    }
    return {};
  }
  void logReadFailure(const char* what, const StoreException& e) const;

  // ---- writing (DatabaseWrite.cpp)
  enum class WriteMode { Add, AddOrUpdate };
  int64_t writeObject(sql::Connection& c, const ClassInfo& info, const StoreObject& object, WriteMode mode);
  // Inserts the row and its lists of links, without looking for an existing one.
  int64_t insertObject(sql::Connection& c, const ClassInfo& info, const StoreObject& object);
  // Inserts a typed record's row from its visited fields, then its lists of links.
  int64_t insertFields(sql::Connection& c, const ClassInfo& info, const std::function<void(record::FieldVisitor&)>& visit);
  // A new owner's typed list of links: the records inserted field by field, then the links.
  void insertLinkedFields(sql::Connection& c, const ClassInfo& info, int64_t ownerId, size_t property,
                          const record::RecordList& list);
  void insertLinkRows(sql::Connection& c, const ClassInfo::LinkSql& link, int64_t ownerId, const int64_t* targets,
                      size_t count);
  // New records of one class, `visit(i, visitor)` handing the i-th's fields, their lists
  // of links after them; their rows' ids go to `ids`. As insertFields for each, in order,
  // but kBatchRows rows to a statement where there are that many.
  void insertManyFields(sql::Connection& c, const ClassInfo& info, size_t count,
                        const std::function<void(size_t, record::FieldVisitor&)>& visit, int64_t* ids);
  // kBatchRows of them by one statement: answers how many went in, all but where a row's
  // key is taken (those before it are in; insertFields then tells which).
  size_t insertBatch(sql::Connection& c, const ClassInfo& info, size_t first,
                     const std::function<void(size_t, record::FieldVisitor&)>& visit, int64_t* ids);
  // Links (owner, position, target) of one list property, in any number.
  struct LinkRow {
    int64_t owner, pos, target;
  };
  void insertLinkRows(sql::Connection& c, const ClassInfo::LinkSql& link, const std::vector<LinkRow>& rows);
  // The encoded lists of texts of the row insertFields is binding, one per list column,
  // bound without a copy; kept from row to row so that their room is reused (the writer's
  // thread only).
  std::vector<std::string> boundLists;
  // The held columns' values of the row insertFields is binding (the writer's thread only),
  // and of each row of a batch.
  std::vector<WrittenField> boundHeld;
  std::vector<std::vector<WrittenField>> boundHeldRows;
  // The id the next row of a class gets, found once in each write transaction that adds
  // rows to it (the highest ever given, kept in the meta table, may lie above every row
  // left); those given out are kept there at the commit.
  struct NextId {
    int64_t next = 0;
    int64_t highestRow = 0;  // the table's highest row, while no row was deleted
  };
  std::unordered_map<const ClassInfo*, NextId> nextIds;
  bool rowsDeleted = false;       // in this write transaction, of any class
  bool hasSequenceTable = false;  // a file with tables made before
  void forgetIds() {
    nextIds.clear();
    rowsDeleted = false;
  }
  // Binds the id of the row `st` inserts into `info`'s table. Where SQLite's own choice,
  // one above the highest row, is that id, SQLite chooses it: an id bound is looked for
  // in the table first, which costs an insert a search of the table.
  // `parameter`: where the id goes, for a row of a batch (0: the class's idParameter).
  int64_t bindNextId(sql::Connection& c, const ClassInfo& info, sql::Statement& st, int parameter = 0);
  // After the insert of the row given `id`.
  void rowInserted(sql::Connection& c, const ClassInfo& info, int64_t id);
  void keepLastIds(sql::Connection& c);
  void writeLinks(sql::Connection& c, const ClassInfo& info, int64_t ownerId, size_t property,
                  const std::vector<StoreObject>& elements, bool isNew);
  bool updateColumns(sql::Connection& c, const ClassInfo& info, int64_t id, const std::vector<size_t>& properties,
                     const std::vector<Value>& values);
  void deleteRows(sql::Connection& c, const ClassInfo& info, const std::vector<int64_t>& ids);
  void markModified(const std::string& className, int64_t id);

  // ---- damage
  // A note beside the file that a read met damage: the next opening checks every page.
  static constexpr const char* kDamageNoteSuffix = ".damaged";
  static constexpr double kWholeFileCheckInterval = 24 * 3600;
  std::string damageNotePath() const;
  void noteDamage(const std::string& reason) const;
  void checkWholeFileLater();

  // ---- set-up (DatabaseSetup.cpp)
  void makeClasses();
  void setUp();
  void createClassStorage(sql::Connection& c, const ClassInfo& info);
  void syncIndexes(sql::Connection& c, const ObjectSchema& schema);
  void compactIfAsked();

  // ---- notifications (DatabaseNotify.cpp)
  void recordChange(const char* table, int op, int64_t id);
  // The changes recorded so far for `table` in this transaction, if any.
  RowChanges* changesOf(std::string_view table);
  // The row `id` of a class kept in memory just inserted with the values `held`.
  void holdWritten(const ClassInfo& info, int64_t id, const std::vector<WrittenField>& held);
  void committed();
};

// The row ids a query selects, in its order; with `columns`, the values of those
// properties of the same rows are read by the same statement into `values` (one list
// per property).
std::vector<int64_t> evaluateQuery(sql::Connection& c, const ClassInfo& info, const Results::Query& query,
                                   const std::vector<const Property*>& columns = {},
                                   std::vector<std::vector<Value>>* values = nullptr);

std::string idListJson(const std::vector<int64_t>& ids);
// The file's size and the part of it in use, as the connection sees it.
Database::FileSizes fileSizesOf(sql::Connection& connection);
// A column read as the property's type (bool, date, list of texts...).
Value columnValueAs(const Property& property, const sql::Statement& statement, int column);
// The object of row `id` from a statement that selects the class's select list: its
// column values, not yet its links.
StoreObject objectFromColumns(const ClassInfo& info, const sql::Statement& statement, int64_t id);

}  // namespace store
