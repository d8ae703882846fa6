#pragma once
// What a commit changed, as the observers of a query result or of a class are told.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

namespace store {

// Changes between two evaluations of one query result. A record that moved is a
// deletion at its old place and an insertion at its new one.
struct CollectionChange {
  std::vector<size_t> deletions;         // positions in the previous result
  std::vector<size_t> insertions;        // positions in the new result
  std::vector<size_t> modifications;     // positions in the previous result
  std::vector<size_t> modificationsNew;  // the same records, positions in the new result
  bool empty() const { return deletions.empty() && insertions.empty() && modifications.empty(); }
};

// Rows of one class that a commit added, changed or removed (row ids, ascending).
struct ClassChange {
  std::string className;
  std::vector<int64_t> inserted;
  std::vector<int64_t> modified;
  std::vector<int64_t> deleted;
  bool empty() const { return inserted.empty() && modified.empty() && deleted.empty(); }
};

// Compares two evaluations (row ids in result order); `modified` are the rows whose
// values changed in between.
CollectionChange diffResults(const std::vector<int64_t>& before, const std::vector<int64_t>& after,
                             const std::unordered_set<int64_t>& modified);

}  // namespace store
