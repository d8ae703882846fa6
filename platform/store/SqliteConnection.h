#pragma once
// A thin layer over one SQLite connection: prepared statements kept in a cache,
// values bound and read as Value, engine errors raised as StoreException, and the
// text functions of the predicate compiler registered.
#include <sqlite3.h>

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/Value.h"
#include "store/StoreException.h"

namespace store::sql {

[[noreturn]] void raise(sqlite3* db, int rc, const std::string& context);

class Connection;

// What a parameter of a cached statement holds, as far as known: a value bound again
// as it is is not bound again (an import binds the same null or empty list to most
// columns of row after row, and each bind costs the engine as much as a column's insert).
struct BoundValue {
  enum Kind : uint8_t { Unknown, Null, StaticText, Integer } kind = Unknown;
  const char* text = nullptr;  // a static text's place (it is read where it is at each run)
  int64_t number = 0;          // an integer, or a static text's length
};

// A prepared statement borrowed from a connection's cache; reset and handed back when
// it goes out of scope, so no read transaction outlives its use.
class Statement {
 public:
  // `inUse` is the cache's mark of a cached statement, cleared when it is handed back;
  // without it the statement is finalised. `bound`: the cache's note of what each
  // parameter holds (none for a statement not cached).
  Statement(Connection& connection, sqlite3_stmt* stmt, bool* inUse, std::vector<BoundValue>* bound = nullptr);
  ~Statement();
  Statement(Statement&& other) noexcept;
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  Statement& operator=(Statement&&) = delete;

  Statement& bind(int index, const Value& value);  // 1-based
  Statement& bindText(int index, std::string_view text);
  // The text is not copied: it must stay until the statement has run.
  Statement& bindTextStatic(int index, std::string_view text);
  Statement& bindInt(int index, int64_t value);
  Statement& bindDouble(int index, double value);
  Statement& bindNull(int index);
  // Steps once: true while a row is available.
  bool step();
  // Steps to the end (for statements without rows).
  void run();
  void reset();
  // For statements that bind every parameter before each run (or fail before running):
  // resetting or handing back then leaves the old bindings, which no run will see,
  // rather than clearing them one by one.
  void keepBindings() { keepBindings_ = true; }

  int columnCount() const;
  bool isNull(int column) const;
  int64_t columnInt(int column) const;
  double columnDouble(int column) const;
  std::string columnText(int column) const;
  std::string_view columnTextView(int column) const;
  Data columnBlob(int column) const;
  // The column as a plain value (integer, real, text, data or null).
  Value columnValue(int column) const;

  sqlite3_stmt* handle() const { return stmt_; }

 private:
  // The note of parameter `index`, if there is one.
  BoundValue* boundAt(int index) const {
    return bound_ && index > 0 && static_cast<size_t>(index) <= bound_->size() ? &(*bound_)[index - 1] : nullptr;
  }
  void clearBindings();

  Connection* connection_;
  sqlite3_stmt* stmt_;
  bool* inUse_;
  std::vector<BoundValue>* bound_;
  bool keepBindings_ = false;
};

class Connection {
 public:
  // Opens (and with `create`, creates) the file, sets WAL, the busy time-out and the
  // pragmas, and registers the text functions. Raises StoreException on failure.
  Connection(const std::string& path, bool create);
  ~Connection();
  // How long a statement waits for a lock another connection holds.
  static constexpr int kBusyTimeoutMs = 60000;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  sqlite3* handle() const { return db_; }
  void exec(const std::string& sql);
  Statement prepare(const std::string& sql);
  int64_t lastInsertRowid() const { return sqlite3_last_insert_rowid(db_); }
  int changes() const { return sqlite3_changes(db_); }
  // One value from a query without arguments (null when no row).
  Value scalar(const std::string& sql);

 private:
  sqlite3* db_ = nullptr;
  struct Cached {
    sqlite3_stmt* stmt;
    bool inUse;
    std::vector<BoundValue> bound;  // one per parameter
  };
  using Cache = std::unordered_map<std::string, Cached>;
  Cache cache_;  // its entries stay where they are while in use (a statement marks them)
  // The statements prepared last, by where their text was: a writer that runs the same
  // few long statements over and over finds them without hashing their text each time.
  struct Recent {
    const char* text = nullptr;
    Cache::value_type* entry = nullptr;
  };
  std::array<Recent, 8> recent_{};
  size_t nextRecent_ = 0;
  Cache::value_type* findCached(const std::string& sql);
};

// Registers qb_fold(text, flags), qb_strop(op, text, operand, flags) (1 or 0; null
// when either text is null), qb_list_any(list, op, operand, flags) (whether any item of
// a stored list of texts passes qb_strop) and the collation QBSORT on a connection.
void registerTextFunctions(sqlite3* db);

// Text operators of qb_strop.
enum StringOp : int { kOpEquals = 0, kOpContains = 1, kOpBeginsWith = 2, kOpEndsWith = 3, kOpLike = 4 };

// Quotes an identifier for SQL ("name" with inner quotes doubled).
std::string quoteIdentifier(std::string_view name);

}  // namespace store::sql
