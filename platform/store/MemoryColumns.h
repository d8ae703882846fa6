#pragma once
// Inside of the object database: the columns of one class that its schema keeps in
// memory (Property::heldInMemory), so that queries, sorts and reads touching only them
// run without the file. They serve what asks for every record of a large class again
// and again: the package lists and their sections, the search as one types, the caches
// rebuilt after a refresh.
//
// The copy follows the file. The change notifier applies each commit's rows to it on
// its own thread, counting the commits it holds: the rows the writer inserted as it bound
// them (WrittenRows, handed over with the commit), the others read back through its
// connection; a query uses the copy only when it holds every commit made so far, and reads
// the file otherwise (as it would without it), so an answer never lags a commit the
// asker has seen. A writer inside its transaction reads the file, which holds its own
// uncommitted rows.
//
// Answers are those the file would give, row for row and in the same order: the
// predicates evaluated with the file's own semantics (qb_strop's folding, IS for
// equality, nulls first in ascending order), texts sorted by the same collator with
// the same tie-breaks, row ids last. A query the copy cannot answer exactly (a key
// path it does not hold, an operator or a value type it does not evaluate) goes to
// the file.
//
// What queries work out from the rows (a text column's order, its texts folded for a
// search, the rows in one column's order) is kept until the rows it was made from
// change. For a column prepared in memory it is worked out as soon as the rows are read
// (at the opening, in the background), so the first list sorted by it or search in it
// after a start costs what the next does.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "store/DatabaseImpl.h"
#include "store/Results.h"

namespace store {

class MemoryColumns {
 public:
  explicit MemoryColumns(const ClassInfo& info);
  ~MemoryColumns();
  MemoryColumns(const MemoryColumns&) = delete;
  MemoryColumns& operator=(const MemoryColumns&) = delete;

  // Whether a class keeps any column in memory.
  static bool wanted(const ObjectSchema& schema);

  // ---- kept current

  // On the writer's thread, after a commit that changed rows of the class: one more
  // commit the copy must hold before it answers. Answers the count so far.
  uint64_t noteCommit() { return committed_.fetch_add(1) + 1; }
  uint64_t committedCount() const { return committed_.load(); }
  bool isBuilt() const;

  // On the change notifier's thread:
  // Reads every row anew; the copy then holds the commits counted up to `commits`.
  void rebuild(sql::Connection& c, uint64_t commits);
  // Takes the rows a commit touched: those it inserted as written, the others read back,
  // or the whole table read anew when it touched many it does not hold as written.
  // Answers true when it took or read many (the memory that needed may be given back).
  bool apply(sql::Connection& c, RowChanges& rows, uint64_t commits);
  // Forgets everything: queries read the file until the next rebuild.
  void invalidate();
  // After the rows were read whole: works out at once what a query sorted by a column
  // prepared in memory (Property::isPreparedInMemory) needs, and a search in it, so that
  // the first ones after a start need not wait for it.
  void prepare() const;

  // ---- read on any thread

  // The query's rows in its order, and the values of `columns` for them, when the copy
  // holds every commit so far and every part of the query; false otherwise (read the
  // file).
  bool evaluate(const Results::Query& query, const std::vector<const Property*>& columns, std::vector<int64_t>& ids,
                std::vector<std::vector<Value>>* values) const;
  // The values of `columns` for the rows `ids` that still exist, in their order.
  bool valuesOf(const std::vector<int64_t>& ids, const std::vector<const Property*>& columns,
                std::vector<std::vector<Value>>& out) const;

  // Bytes held (the texts, the rows' codes and values, what was worked out for queries).
  size_t memoryUsed() const;

  // The held columns, in order, and the held column of each of the schema's properties
  // by position (-1 for one not held).
  const std::vector<const Property*>& heldProperties() const { return held_; }
  const int* heldColumnsByProperty() const { return columnOfProperty_.data(); }

 private:
  struct Column;
  struct Texts;
  struct Folded;
  struct Compiled;
  struct Rows;
  class Query;
  friend class Query;
  friend class WrittenRows;

  bool current() const;
  int columnIndexOf(const Property* property) const;
  Value valueAt(size_t column, size_t row) const;

  // Worked out on first need (a prepared column's as soon as the rows are read), kept
  // until the copy changes (each under its own lock).
  const std::vector<uint32_t>& ranksOf(size_t column) const;
  // Null when they cannot be held (the query then goes to the file).
  const Folded* foldedOf(size_t column, int flags) const;
  const std::vector<uint32_t>& orderBy(size_t column, bool ascending) const;
  void forgetWorkedOut();

  std::string selectList() const;

  const ClassInfo& info_;
  std::vector<const Property*> held_;  // the held properties, in schema order
  std::vector<int> columnOfProperty_;  // by schema position; -1: not held

  mutable std::shared_mutex mutex_;  // the rows: shared to read, alone to change
  bool built_ = false;
  uint64_t commits_ = 0;  // the commits the copy holds
  std::atomic<uint64_t> committed_{0};
  std::unique_ptr<Rows> rows_;

  mutable std::mutex workedOutMutex_;
  struct WorkedOut;
  std::unique_ptr<WorkedOut> workedOut_;
};

// The rows of a class kept in memory that a transaction inserted, with the values of its
// held columns as the writer bound them (the file holds those very values), so that the
// copy takes them without reading them back. Filled on the writer's thread and handed
// over with the commit; a rolled-back transaction's go with its changes. A row changed or
// deleted after it was written is dropped here and read back (or taken as gone).
//
// They are held while the transaction runs, beside everything the writer holds: packed
// row after row (a text as the row before's, as another column's of the same row, as
// one of a few the column repeats, or spelled out), in blocks that never move.
class WrittenRows {
 public:
  explicit WrittenRows(const MemoryColumns& memory);
  ~WrittenRows();
  WrittenRows(const WrittenRows&) = delete;
  WrittenRows& operator=(const WrittenRows&) = delete;

  using Field = WrittenField;
  // Right after the row's insert ran, while the bound values are still where they were.
  void add(int64_t id, const std::vector<Field>& fields);
  // The row changed or went after it was written.
  void drop(int64_t id);
  // A later commit's rows, after this one's.
  void append(const WrittenRows& later);
  size_t memoryUsed() const;

 private:
  friend class MemoryColumns;
  struct Part;
  // The rows among `ids` (ascending) held here and not dropped, appended to `rows`; the
  // others of `ids` go to `missing`.
  void takeInto(MemoryColumns::Rows& rows, const std::vector<int64_t>& ids, std::vector<int64_t>& missing) const;

  std::vector<uint8_t> textColumns_;  // by held column: 1 for a text
  std::vector<std::shared_ptr<Part>> parts_;  // one per commit, in order
  std::unordered_set<int64_t> dropped_;
  bool usable_ = true;  // rows came in row id order
};

}  // namespace store
