#pragma once
// Inside of MemoryColumns: the rows' values, column by column, and what queries worked
// out from them.
#include <map>
#include <optional>
#include <unordered_set>

#include "store/MemoryColumns.h"
#include "store/SqliteConnection.h"

namespace store {

// A text column's distinct texts, by code (code 0 is no text at all). Texts added by
// later commits get new codes; the same text may come to have several, which only
// costs room until the next rebuild.
struct MemoryColumns::Texts {
  Arena arena;
  std::vector<std::string_view> byCode;  // the text of code i + 1
};

struct MemoryColumns::Column {
  const Property* property = nullptr;
  bool text = false;
  std::vector<uint32_t> codes;  // texts: per row
  Texts texts;
  std::vector<int64_t> numbers;  // numbers and flags: per row
  std::vector<uint8_t> nulls;    // per row, 1 for none
};

struct MemoryColumns::Rows {
  std::vector<int64_t> ids;  // ascending
  std::vector<Column> columns;

  explicit Rows(const std::vector<const Property*>& held);
  size_t size() const { return ids.size(); }
  // Appends the statement's row (_id, then the held columns in order); false when a
  // column holds a value of another kind than its property's.
  bool append(const sql::Statement& st);
  void shrink();
  std::optional<size_t> positionOf(int64_t id) const;
  Value valueAt(size_t column, size_t row) const;
  std::string_view textAt(size_t column, size_t row) const {
    uint32_t code = columns[column].codes[row];
    return code ? columns[column].texts.byCode[code - 1] : std::string_view();
  }
  // Takes the rows read anew (replacing or adding rows of the same ids) and drops the
  // `gone` ones; tells which columns changed and whether rows came or went.
  void merge(Rows fresh, const std::unordered_set<int64_t>& gone, std::vector<bool>& changedColumns, bool& rowsMoved);
  // The texts outnumber the rows by far: a rebuild gives the room back.
  bool needsRebuild() const;
  size_t memoryUsed() const;

 private:
  // Interns while a whole table is read, so that a column of few distinct texts keeps
  // few; dropped after.
  std::vector<std::unordered_map<std::string_view, uint32_t>> interned_;
};

struct MemoryColumns::WorkedOut {
  std::map<size_t, std::vector<uint32_t>> ranks;  // a text column's order: rank by code
  struct Folded {
    Arena arena;
    std::vector<std::string_view> texts;  // by code - 1
  };
  std::map<std::pair<size_t, int>, Folded> folded;                  // by column and fold flags
  std::map<std::pair<size_t, bool>, std::vector<uint32_t>> orders;  // row positions by one column

  // What the changed columns (and, when rows came or went, every order) no longer fit.
  void forget(const std::vector<bool>& changedColumns, bool rowsMoved) {
    for (size_t k = 0; k < changedColumns.size(); ++k) {
      if (!changedColumns[k]) continue;
      ranks.erase(k);
      for (auto it = orders.begin(); it != orders.end();) it = it->first.first == k ? orders.erase(it) : std::next(it);
    }
    if (rowsMoved) orders.clear();
  }
  size_t memoryUsed() const {
    size_t bytes = 0;
    for (const auto& [k, r] : ranks) bytes += r.capacity() * sizeof(uint32_t);
    for (const auto& [k, f] : folded) bytes += f.arena.bytes() + f.texts.capacity() * sizeof(std::string_view);
    for (const auto& [k, o] : orders) bytes += o.capacity() * sizeof(uint32_t);
    return bytes;
  }
};

}  // namespace store
