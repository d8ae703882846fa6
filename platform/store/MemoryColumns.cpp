#include "store/MemoryColumns.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "store/MemoryColumnsRows.h"
#include "store/TextFolding.h"
#include "store/TextRanks.h"

namespace store {

// ---- set-up

bool MemoryColumns::wanted(const ObjectSchema& schema) {
  for (const auto& p : schema.properties())
    if (p.isHeldInMemory) return true;
  return false;
}

MemoryColumns::MemoryColumns(const ClassInfo& info) : info_(info) {
  const ObjectSchema& schema = *info.schema;
  columnOfProperty_.assign(schema.size(), -1);
  for (size_t i = 0; i < schema.size(); ++i) {
    const Property& p = schema.property(i);
    const bool kind = p.type == PropertyType::String || p.type == PropertyType::Int || p.type == PropertyType::Bool;
    if (!p.isHeldInMemory || !kind) continue;
    columnOfProperty_[i] = static_cast<int>(held_.size());
    held_.push_back(&p);
  }
  workedOut_ = std::make_unique<WorkedOut>();
}

MemoryColumns::~MemoryColumns() = default;

int MemoryColumns::columnIndexOf(const Property* property) const {
  if (!property) return -1;
  int index = info_.schema->indexOf(property->name);
  return index < 0 ? -1 : columnOfProperty_[static_cast<size_t>(index)];
}

bool MemoryColumns::current() const { return built_ && commits_ == committed_.load(); }

bool MemoryColumns::isBuilt() const {
  std::shared_lock lock(mutex_);
  return built_;
}

std::string MemoryColumns::selectList() const {
  std::string select = "SELECT _id";
  for (const Property* p : held_) select += ", " + sql::quoteIdentifier(p->name);
  return select + " FROM " + info_.table;
}

size_t MemoryColumns::memoryUsed() const {
  std::shared_lock lock(mutex_);
  size_t bytes = rows_ ? rows_->memoryUsed() : 0;
  std::lock_guard worked(workedOutMutex_);
  return bytes + workedOut_->memoryUsed();
}

// ---- following the file

void MemoryColumns::invalidate() {
  std::unique_lock lock(mutex_);
  built_ = false;
  rows_.reset();
  forgetWorkedOut();
}

void MemoryColumns::rebuild(sql::Connection& c, uint64_t commits) {
  auto fresh = std::make_unique<Rows>(held_);
  bool readable = true;
  {
    sql::Statement st = c.prepare(selectList() + " ORDER BY _id");
    while (st.step()) readable = fresh->append(st) && readable;
  }
  fresh->shrink();
  std::unique_lock lock(mutex_);
  forgetWorkedOut();
  // A column holding a value of another kind than its property's (never written by
  // this store) is answered from the file, where the comparisons take care of it.
  built_ = readable;
  rows_ = readable ? std::move(fresh) : nullptr;
  commits_ = commits;
}

bool MemoryColumns::apply(sql::Connection& c, RowChanges& changes, uint64_t commits) {
  std::vector<int64_t> touched = changes.inserted.ids();
  touched.insert(touched.end(), changes.modified.begin(), changes.modified.end());
  std::sort(touched.begin(), touched.end());
  touched.erase(std::unique(touched.begin(), touched.end()), touched.end());
  size_t count = 0;
  bool built = false;
  {
    std::shared_lock lock(mutex_);
    built = built_;
    if (built_) count = rows_->size();
  }

  // The touched rows the writer handed over as it wrote them, and the others, to read.
  WrittenRows* written = changes.written && changes.written->usable_ ? changes.written.get() : nullptr;
  Rows fed(held_);
  std::vector<int64_t> toRead;
  if (written && built) {
    written->takeInto(fed, touched, toRead);
    changes.written.reset();  // taken: its room goes before the merge needs more
  } else {
    toRead = std::move(touched);
  }
  if (!built || toRead.size() > count / 4 + 64) {
    rebuild(c, commits);
    return true;
  }

  // The other touched rows as they are now; one that is gone was deleted since.
  Rows read(held_);
  bool readable = true;
  std::unordered_set<int64_t> gone(changes.deleted.begin(), changes.deleted.end());
  if (!toRead.empty()) {
    {
      sql::Statement st = c.prepare(selectList() + " WHERE _id IN (SELECT value FROM json_each(?)) ORDER BY _id");
      st.bindText(1, idListJson(toRead));
      while (st.step()) readable = read.append(st) && readable;
    }
    size_t j = 0;
    for (int64_t id : toRead) {
      while (j < read.size() && read.ids[j] < id) ++j;
      if (j == read.size() || read.ids[j] != id) gone.insert(id);
    }
  }
  Rows fresh(held_);
  if (read.size() == 0) {
    fresh = std::move(fed);
  } else if (fed.size() == 0) {
    fresh = std::move(read);
  } else {
    for (size_t i = 0, j = 0; i < fed.size() || j < read.size();) {
      if (j == read.size() || (i < fed.size() && fed.ids[i] < read.ids[j])) fresh.appendRow(fed, i++);
      else fresh.appendRow(read, j++);
    }
  }
  const bool many = fresh.size() > count / 4 + 64;

  std::unique_lock lock(mutex_);
  if (!readable) {
    built_ = false;
    rows_.reset();
    forgetWorkedOut();
    return false;
  }
  std::vector<bool> changedColumns;
  bool rowsMoved = false;
  bool fits = true;
  if (rows_->size() == 0) {
    // Into an empty copy (the first refresh): the rows as they are, without a copy.
    *rows_ = std::move(fresh);
    changedColumns.assign(held_.size(), true);
    rowsMoved = true;
  } else {
    fits = rows_->merge(std::move(fresh), gone, changedColumns, rowsMoved);
  }
  commits_ = commits;
  if (!fits || rows_->needsRebuild()) {
    lock.unlock();
    rebuild(c, commits);
    return true;
  }
  // Many rows taken: the room the columns grew by goes back, as after a rebuild.
  if (many) rows_->shrink();
  std::lock_guard worked(workedOutMutex_);
  workedOut_->forget(changedColumns, rowsMoved);
  return many;
}

void MemoryColumns::prepare() const {
  std::shared_lock lock(mutex_);
  if (!current()) return;  // a later commit is on its way: the queries work it out
  for (size_t k = 0; k < held_.size(); ++k) {
    if (!held_[k]->isPreparedInMemory) continue;
    if (rows_->columns[k].text) foldedOf(k, text::kCaseInsensitive | text::kDiacriticInsensitive);
    orderBy(k, true);
  }
}

void MemoryColumns::forgetWorkedOut() {
  std::lock_guard worked(workedOutMutex_);
  workedOut_ = std::make_unique<WorkedOut>();
}

// ---- values

Value MemoryColumns::valueAt(size_t column, size_t row) const { return rows_->valueAt(column, row); }

bool MemoryColumns::valuesOf(const std::vector<int64_t>& ids, const std::vector<const Property*>& columns,
                             std::vector<std::vector<Value>>& out) const {
  std::vector<int> wanted;
  for (const Property* p : columns) {
    int column = columnIndexOf(p);
    if (column < 0) return false;
    wanted.push_back(column);
  }
  std::shared_lock lock(mutex_);
  if (!current()) return false;
  out.assign(columns.size(), {});
  for (auto& list : out) list.reserve(ids.size());
  for (int64_t id : ids) {
    auto row = rows_->positionOf(id);
    if (!row) continue;  // deleted since: read as absent, as the file reads it
    for (size_t k = 0; k < wanted.size(); ++k) out[k].push_back(valueAt(static_cast<size_t>(wanted[k]), *row));
  }
  return true;
}

// ---- worked out for queries

const std::vector<uint32_t>& MemoryColumns::ranksOf(size_t column) const {
  std::lock_guard worked(workedOutMutex_);
  auto it = workedOut_->ranks.find(column);
  if (it != workedOut_->ranks.end()) return it->second;
  const Texts& texts = rows_->columns[column].texts;
  std::vector<uint32_t> ranks = text::collationRanks(static_cast<uint32_t>(texts.size()),
                                                     [&](uint32_t code) { return texts.text(code); });
  return workedOut_->ranks.emplace(column, std::move(ranks)).first->second;
}

bool MemoryColumns::Folded::follow(const Texts& original, int flags) {
  if (changed.empty()) changed.push_back(0);
  changed.reserve(original.size() + 1);
  while (size() < original.size()) {
    const uint32_t code = static_cast<uint32_t>(changed.size());
    const std::string_view text = original.text(code);
    bool same = true;
    for (unsigned char c : text) {
      if (c >= 0x80 || ((flags & text::kCaseInsensitive) && c >= 'A' && c <= 'Z')) {
        same = false;
        break;
      }
    }
    const std::string folded = same ? std::string() : text::fold(text, flags);
    if (same || folded == text) {
      changed.push_back(0);
    } else {
      if (!texts.add(folded)) return false;
      changed.push_back(static_cast<uint32_t>(texts.size()));
    }
  }
  return true;
}

const MemoryColumns::Folded* MemoryColumns::foldedOf(size_t column, int flags) const {
  std::lock_guard worked(workedOutMutex_);
  Folded& folded = workedOut_->folded[{column, flags}];
  // Codes added since the texts were folded are folded now; the others stay.
  return folded.follow(rows_->columns[column].texts, flags) ? &folded : nullptr;
}

const std::vector<uint32_t>& MemoryColumns::orderBy(size_t column, bool ascending) const {
  {
    std::lock_guard worked(workedOutMutex_);
    auto it = workedOut_->orders.find({column, ascending});
    if (it != workedOut_->orders.end()) return it->second;
  }
  const Column& c = rows_->columns[column];
  const uint32_t count = static_cast<uint32_t>(rows_->size());
  std::vector<uint32_t> positions(count);
  const auto& ids = rows_->ids;
  if (c.text) {
    // The rows counted into place by their text's rank (none first when ascending, last
    // when not): rows of one rank keep the order they have, which is their ids'.
    const std::vector<uint32_t>& ranks = ranksOf(column);
    const uint32_t top = *std::max_element(ranks.begin(), ranks.end());
    auto place = [&](uint32_t row) {
      const uint32_t rank = ranks[c.codes[row]];
      return ascending ? rank : top - rank;
    };
    std::vector<uint32_t> starts(static_cast<size_t>(top) + 2, 0);
    for (uint32_t row = 0; row < count; ++row) ++starts[place(row) + 1];
    for (size_t i = 1; i < starts.size(); ++i) starts[i] += starts[i - 1];
    for (uint32_t row = 0; row < count; ++row) positions[starts[place(row)]++] = row;
  } else {
    for (uint32_t i = 0; i < count; ++i) positions[i] = i;
    std::sort(positions.begin(), positions.end(), [&](uint32_t a, uint32_t b) {
      const bool nullA = c.isNull(a), nullB = c.isNull(b);
      if (nullA != nullB) return ascending ? nullA : nullB;
      const int64_t x = c.number(a), y = c.number(b);
      if (!nullA && x != y) return ascending ? x < y : x > y;
      return ids[a] < ids[b];
    });
  }
  std::lock_guard worked(workedOutMutex_);
  return workedOut_->orders.emplace(std::make_pair(column, ascending), std::move(positions)).first->second;
}

}  // namespace store
