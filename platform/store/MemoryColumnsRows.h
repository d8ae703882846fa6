#pragma once
// Inside of MemoryColumns: the rows' values, column by column, and what queries worked
// out from them.
#include <cstdint>
#include <map>
#include <string>
#include <unordered_map>
#include <optional>
#include <unordered_set>

#include "store/MemoryColumns.h"
#include "store/SqliteConnection.h"

namespace store {

// A text column's distinct texts, by code (code 0 is no text at all), one after the
// other in one block. Texts added by later commits get new codes; the same text may come
// to have several, which only costs room until the next rebuild.
struct MemoryColumns::Texts {
  std::string bytes;
  std::vector<uint32_t> ends{0};  // text i + 1 ends at ends[i + 1]

  size_t size() const { return ends.size() - 1; }
  std::string_view text(uint32_t code) const {
    return std::string_view(bytes).substr(ends[code - 1], ends[code] - ends[code - 1]);
  }
  // False when the block would outgrow what the offsets count.
  bool add(std::string_view text) {
    if (bytes.size() + text.size() > UINT32_MAX) return false;
    bytes.append(text);
    ends.push_back(static_cast<uint32_t>(bytes.size()));
    return true;
  }
  size_t memoryUsed() const { return bytes.capacity() + ends.capacity() * sizeof(uint32_t); }
};

struct MemoryColumns::Column {
  const Property* property = nullptr;
  bool text = false;
  bool flag = false;            // a Bool property
  bool interning = true;        // texts: equal texts share a code (off once found mostly distinct)
  std::vector<uint32_t> codes;  // texts: per row
  Texts texts;
  std::vector<int64_t> numbers;  // numbers: per row
  std::vector<uint8_t> bytes;    // numbers: 1 for none; flags: 0, 1, or 2 for none

  bool isNull(size_t row) const { return flag ? bytes[row] == 2 : bytes[row] != 0; }
  int64_t number(size_t row) const { return flag ? bytes[row] : numbers[row]; }
  void appendNumber(bool null, int64_t value) {
    if (flag) {
      bytes.push_back(null ? 2 : value != 0 ? 1 : 0);
    } else {
      bytes.push_back(null ? 1 : 0);
      numbers.push_back(null ? 0 : value);
    }
  }
};

struct MemoryColumns::Rows {
  std::vector<int64_t> ids;  // ascending
  std::vector<Column> columns;

  explicit Rows(const std::vector<const Property*>& held);
  size_t size() const { return ids.size(); }
  // Appends the statement's row (_id, then the held columns in order); false when a
  // column holds a value of another kind than its property's.
  bool append(const sql::Statement& st);
  // Appends a text to column `k` (interned while the column interns); false when the
  // texts outgrew what their offsets count.
  bool addText(size_t k, std::string_view text);
  // Appends row `row` of `from` (rows of the same columns), its texts anew.
  void appendRow(const Rows& from, size_t row);
  void shrink();
  std::optional<size_t> positionOf(int64_t id) const;
  Value valueAt(size_t column, size_t row) const;
  std::string_view textAt(size_t column, size_t row) const {
    uint32_t code = columns[column].codes[row];
    return code ? columns[column].texts.text(code) : std::string_view();
  }
  // Takes the rows read anew (replacing or adding rows of the same ids) and drops the
  // `gone` ones; tells which columns changed and whether rows came or went. False when
  // a column's texts outgrew what their offsets count.
  bool merge(Rows fresh, const std::unordered_set<int64_t>& gone, std::vector<bool>& changedColumns, bool& rowsMoved);
  // The texts outnumber the rows by far: a rebuild gives the room back.
  bool needsRebuild() const;
  size_t memoryUsed() const;

 private:
  // Interns while a whole table is read, so that a column of few distinct texts keeps
  // few; dropped after. A column found mostly distinct in its first rows stops.
  static constexpr size_t kInternTrial = 2048;
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
  };
  std::vector<std::unordered_map<std::string, uint32_t, TextHash, std::equal_to<>>> interned_;
};

// A text column's texts folded for a query's options, by the same codes. Most texts are
// their own folded form (a name in lower case, folded by case): only the others are
// kept, apart.
struct MemoryColumns::Folded {
  std::vector<uint32_t> changed;  // by code: 0, the text itself; else the code in `texts`
  Texts texts;

  size_t size() const { return changed.empty() ? 0 : changed.size() - 1; }
  std::string_view text(const Texts& original, uint32_t code) const {
    return changed[code] ? texts.text(changed[code]) : original.text(code);
  }
  // Folds the texts of `original` added since, with text::fold's options `flags`; false
  // when the folded texts outgrew what their offsets count.
  bool follow(const Texts& original, int flags);
  size_t memoryUsed() const { return changed.capacity() * sizeof(uint32_t) + texts.memoryUsed(); }
};

struct MemoryColumns::WorkedOut {
  std::map<size_t, std::vector<uint32_t>> ranks;  // a text column's order: rank by code
  std::map<std::pair<size_t, int>, Folded> folded;  // by column and fold flags
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
    for (const auto& [k, f] : folded) bytes += f.memoryUsed();
    for (const auto& [k, o] : orders) bytes += o.capacity() * sizeof(uint32_t);
    return bytes;
  }
};

}  // namespace store
