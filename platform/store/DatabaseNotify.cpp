#include <algorithm>
#include <cstring>

#include "store/ChangeNotifier.h"
#include "store/DatabaseImpl.h"
#include "store/MemoryColumns.h"

namespace store {

// ---- RowSet

void RowSet::order() const {
  if (ordered_) return;
  std::sort(ids_.begin(), ids_.end());
  ids_.erase(std::unique(ids_.begin(), ids_.end()), ids_.end());
  ordered_ = true;
}

const std::vector<int64_t>& RowSet::ids() const {
  order();
  return ids_;
}

size_t RowSet::count(int64_t id) const {
  const auto& all = ids();
  return std::binary_search(all.begin(), all.end(), id) ? 1 : 0;
}

bool RowSet::erase(int64_t id) {
  order();
  auto it = std::lower_bound(ids_.begin(), ids_.end(), id);
  if (it == ids_.end() || *it != id) return false;
  ids_.erase(it);
  return true;
}

// ---- RowChanges

void RowChanges::insert(int64_t id) {
  deleted.erase(id);  // row ids are never reused, so this only guards odd callers
  inserted.insert(id);
}

void RowChanges::modify(int64_t id) {
  if (!inserted.count(id) && !deleted.count(id)) modified.insert(id);
}

void RowChanges::remove(int64_t id) {
  modified.erase(id);
  if (inserted.erase(id)) return;
  deleted.insert(id);
}

void RowChanges::merge(const RowChanges& later) {
  for (int64_t id : later.inserted.ids()) insert(id);
  for (int64_t id : later.modified) modify(id);
  for (int64_t id : later.deleted) remove(id);
  // Rows written earlier and changed later are read back, as they are then.
  if (written) {
    for (int64_t id : later.modified) written->drop(id);
    for (int64_t id : later.deleted) written->drop(id);
  }
  if (later.written) {
    if (!written) written = later.written;
    else written->append(*later.written);
  }
}

// ---- recording

void Database::Impl::recordChange(const char* table, int op, int64_t id) {
  if (suppressChanges || !table || std::strncmp(table, "__", 2) == 0 || std::strncmp(table, "sqlite_", 7) == 0) return;
  // Rows come table after table, or in turn from a few tables: most calls find the
  // table's changes among the last ones without a look-up (or a copy of the name).
  RowChanges* found = nullptr;
  for (const auto& recent : recentChanges) {
    if (recent.rows && recent.table == table) {
      found = recent.rows;
      break;
    }
  }
  if (!found) {
    found = &transactionChanges[table];
    RecentChanges& recent = recentChanges[nextRecentChanges++ % recentChanges.size()];
    recent.table = table;
    recent.rows = found;
  }
  RowChanges& rows = *found;
  if (op == SQLITE_INSERT) rows.insert(id);
  else if (op == SQLITE_UPDATE) rows.modify(id);
  else if (op == SQLITE_DELETE) rows.remove(id);
  // A row written for the copy in memory and changed since in the same transaction is
  // read back.
  if (op != SQLITE_INSERT && rows.written) rows.written->drop(id);
}

RowChanges* Database::Impl::changesOf(std::string_view table) {
  for (const auto& recent : recentChanges)
    if (recent.rows && recent.table == table) return recent.rows;
  auto it = transactionChanges.find(std::string(table));
  return it == transactionChanges.end() ? nullptr : &it->second;
}

void Database::Impl::holdWritten(const ClassInfo& info, int64_t id, const std::vector<WrittenField>& held) {
  // The insert recorded the row's change; none when changes are not recorded.
  RowChanges* rows = changesOf(info.schema->className());
  if (!rows) return;
  if (!rows->written) rows->written = std::make_shared<WrittenRows>(*info.memory);
  rows->written->add(id, held);
}

void Database::Impl::committed() {
  ChangeSet changes;
  changes.swap(transactionChanges);
  forgetRecentChanges();
  for (auto it = changes.begin(); it != changes.end();) {
    it = it->second.empty() ? changes.erase(it) : std::next(it);
  }
  // From here on the copies in memory of the changed classes answer nothing until
  // they hold this commit too.
  std::map<std::string, uint64_t> commits;
  for (const auto& [className, rows] : changes)
    if (auto it = memory.find(className); it != memory.end()) commits[className] = it->second->noteCommit();
  if (!changes.empty() && notifier) notifier->committed(std::move(changes), std::move(commits));
}

// ---- observers

void Database::settle() { impl_->notifier->settle(); }

std::optional<uint64_t> Database::commitsChanging(const std::string& className) const {
  auto it = impl_->memory.find(className);
  if (it == impl_->memory.end()) return std::nullopt;
  return it->second->committedCount();
}

NotificationToken Database::observe(std::function<void()> block, DispatchQueue* queue) {
  return impl_->notifier->observeCommits(std::move(block), queue);
}

NotificationToken Database::observeClass(const std::string& className, std::function<void(const ClassChange&)> block,
                                         DispatchQueue* queue) {
  impl_->classInfo(className);  // raises for an unknown class
  return impl_->notifier->observeClass(className, std::move(block), queue);
}

// ---- diff

CollectionChange diffResults(const std::vector<int64_t>& before, const std::vector<int64_t>& after,
                             const std::unordered_set<int64_t>& modified) {
  CollectionChange change;
  std::unordered_map<int64_t, size_t> oldPosition, newPosition;
  oldPosition.reserve(before.size());
  newPosition.reserve(after.size());
  for (size_t i = 0; i < before.size(); ++i) oldPosition.emplace(before[i], i);
  for (size_t j = 0; j < after.size(); ++j) newPosition.emplace(after[j], j);

  // Records in both, in new order; the longest run that kept its relative order stays
  // put, the others moved.
  std::vector<size_t> commonNew, commonOld;
  for (size_t j = 0; j < after.size(); ++j) {
    auto it = oldPosition.find(after[j]);
    if (it == oldPosition.end()) change.insertions.push_back(j);
    else {
      commonNew.push_back(j);
      commonOld.push_back(it->second);
    }
  }
  for (size_t i = 0; i < before.size(); ++i) {
    if (!newPosition.count(before[i])) change.deletions.push_back(i);
  }
  // Longest increasing subsequence of commonOld (patience sorting with back links).
  std::vector<size_t> tails, tailIndex, previous(commonOld.size(), SIZE_MAX);
  for (size_t k = 0; k < commonOld.size(); ++k) {
    auto pos = std::lower_bound(tails.begin(), tails.end(), commonOld[k]) - tails.begin();
    if (pos > 0) previous[k] = tailIndex[pos - 1];
    if (static_cast<size_t>(pos) == tails.size()) {
      tails.push_back(commonOld[k]);
      tailIndex.push_back(k);
    } else {
      tails[pos] = commonOld[k];
      tailIndex[pos] = k;
    }
  }
  std::vector<bool> stays(commonOld.size(), false);
  for (size_t k = tailIndex.empty() ? SIZE_MAX : tailIndex.back(); k != SIZE_MAX; k = previous[k]) stays[k] = true;
  for (size_t k = 0; k < commonOld.size(); ++k) {
    if (!stays[k]) {
      change.deletions.push_back(commonOld[k]);
      change.insertions.push_back(commonNew[k]);
    } else if (modified.count(after[commonNew[k]])) {
      change.modifications.push_back(commonOld[k]);
      change.modificationsNew.push_back(commonNew[k]);
    }
  }
  std::sort(change.deletions.begin(), change.deletions.end());
  std::sort(change.insertions.begin(), change.insertions.end());
  std::sort(change.modifications.begin(), change.modifications.end());
  std::sort(change.modificationsNew.begin(), change.modificationsNew.end());
  return change;
}

}  // namespace store
