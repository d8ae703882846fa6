#pragma once
// The records of one class that match a query, in the query's order. A result is a
// snapshot of the matching rows taken when it is first read (the records themselves
// are read when asked for, so a row deleted since reads as absent); reload() takes a
// new one, and observe() hands over fresh results after each commit that changes
// them, with what changed since the results it handed over before.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Dispatch.h"
#include "foundation/Error.h"
#include "foundation/NotificationToken.h"
#include "foundation/Value.h"
#include "store/CollectionChange.h"
#include "store/Predicate.h"
#include "store/StoreObject.h"

namespace store {

using ::NotificationToken;
class Database;

struct SortDescriptor {
  std::string keyPath;
  bool ascending = true;
};

class Results {
 public:
  Results() = default;

  bool isValid() const { return static_cast<bool>(database_); }
  const std::string& className() const;
  const std::shared_ptr<Database>& database() const { return database_; }

  size_t count() const;
  size_t size() const { return count(); }
  bool empty() const { return count() == 0; }
  // Why the snapshot is empty when the query could not run (the file failed); null
  // otherwise.
  ErrorRef error() const;
  // The record at a position of the snapshot: absent when it was deleted since. A
  // position at or past count() raises std::out_of_range.
  std::optional<StoreObject> at(size_t index) const;
  std::optional<StoreObject> operator[](size_t index) const { return at(index); }
  std::optional<StoreObject> first() const;
  std::optional<StoreObject> last() const;
  // Every record that still exists, in order, read in one pass.
  std::vector<StoreObject> objects() const;
  const std::vector<int64_t>& objectIds() const;
  // One property of every record, in order.
  std::vector<Value> valuesForKey(const std::string& property) const;
  // Several properties of every record, in order, one list per property, read in one
  // pass. Results not read yet take their snapshot from that same pass, so a list
  // built from them costs one query.
  std::vector<std::vector<Value>> valuesForKeys(const std::vector<std::string>& properties) const;

  Results objectsWhere(std::string_view predicate, std::vector<Value> arguments = {}) const;
  template <typename... Args>
  Results filter(std::string_view predicate, Args&&... args) const {
    return objectsWhere(predicate, std::vector<Value>{Value(std::forward<Args>(args))...});
  }
  // A later sort is the main order; earlier sorts break its ties, then database order.
  Results sorted(const std::string& keyPath, bool ascending = true) const;
  Results sorted(const std::vector<SortDescriptor>& descriptors) const;
  // Keeps the first record (in the result's order) of each distinct value combination.
  Results distinct(const std::vector<std::string>& keyPaths) const;

  std::optional<size_t> indexOfObject(const StoreObject& object) const;
  template <typename... Args>
  std::optional<size_t> indexOfObjectWhere(std::string_view predicate, Args&&... args) const {
    return indexOfObjectWhereArgs(predicate, std::vector<Value>{Value(std::forward<Args>(args))...});
  }
  std::optional<size_t> indexOfObjectWhereArgs(std::string_view predicate, std::vector<Value> arguments) const;

  // Sets one property on every record of the snapshot (inside a write transaction).
  void setValue(const std::string& property, const Value& value) const;

  // Takes a new snapshot.
  Results& reload();
  Results reloaded() const;

  using ChangeBlock = std::function<void(const Results& results, const CollectionChange* change, const ErrorRef& error)>;
  // Calls the block on `queue` (which must outlive the token; null: the store's own
  // notifying thread) once with the initial results (change null), then after every
  // commit that changes the result, until the token goes. Each call hands over a new
  // snapshot and what changed since the one handed over before, so a list that applies
  // the changes stays equal to the snapshot. The results are worked out off the
  // queue; on an error the block gets the last results and the error.
  [[nodiscard]] NotificationToken observe(ChangeBlock block, DispatchQueue* queue = &DispatchQueue::mainQueue()) const;

  struct Query {
    std::string where;             // SQL condition over the class's table
    std::vector<Value> arguments;  // bound in order
    std::vector<PredicateRef> predicates;  // the same condition as parsed (all must hold)
    std::vector<SortDescriptor> sorts;
    std::vector<std::string> distinct;
  };

 private:
  friend class Database;
  friend class ChangeNotifier;
  struct Snapshot {
    std::vector<int64_t> ids;
    ErrorRef error;
  };
  Results(std::shared_ptr<Database> database, ObjectSchemaRef schema, std::shared_ptr<const Query> query,
          std::shared_ptr<const Snapshot> snapshot = nullptr);
  const std::vector<int64_t>& ids() const;
  const Snapshot& snapshot() const;
  // Takes the snapshot, reading the columns' values of its rows on the way.
  void takeSnapshot(const std::vector<const Property*>& columns, std::vector<std::vector<Value>>* values) const;

  std::shared_ptr<Database> database_;
  ObjectSchemaRef schema_;
  std::shared_ptr<const Query> query_;
  mutable std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace store
