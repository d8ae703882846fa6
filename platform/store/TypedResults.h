#pragma once
// Results read as typed records (a class made with KVR_RECORD).
#include <optional>
#include <string>
#include <vector>

#include "store/Database.h"
#include "store/Results.h"

namespace store {

template <typename T>
class TypedResults {
 public:
  TypedResults() = default;
  explicit TypedResults(Results results) : results_(std::move(results)) {}

  const Results& results() const { return results_; }
  size_t count() const { return results_.count(); }
  size_t size() const { return results_.count(); }
  bool empty() const { return results_.empty(); }
  ErrorRef error() const { return results_.error(); }
  // Absent when the record was deleted since the snapshot; std::out_of_range at or
  // past count().
  std::optional<T> at(size_t index) const {
    auto object = results_.at(index);
    if (!object) return std::nullopt;
    return T::fromObject(*object);
  }
  std::optional<T> operator[](size_t index) const { return at(index); }
  std::optional<T> first() const {
    if (empty()) return std::nullopt;
    return at(0);
  }
  std::vector<T> all() const {
    std::vector<T> out;
    for (const auto& o : results_.objects()) out.push_back(T::fromObject(o));
    return out;
  }
  std::vector<Value> valuesForKey(const std::string& key) const { return results_.valuesForKey(key); }
  std::vector<std::vector<Value>> valuesForKeys(const std::vector<std::string>& keys) const {
    return results_.valuesForKeys(keys);
  }

  template <typename... Args>
  TypedResults filter(std::string_view predicate, Args&&... args) const {
    return TypedResults(results_.filter(predicate, std::forward<Args>(args)...));
  }
  TypedResults sorted(const std::string& keyPath, bool ascending = true) const {
    return TypedResults(results_.sorted(keyPath, ascending));
  }
  TypedResults sorted(const std::vector<SortDescriptor>& descriptors) const {
    return TypedResults(results_.sorted(descriptors));
  }
  TypedResults distinct(const std::vector<std::string>& keyPaths) const {
    return TypedResults(results_.distinct(keyPaths));
  }
  template <typename... Args>
  std::optional<size_t> indexOfObjectWhere(std::string_view predicate, Args&&... args) const {
    return results_.indexOfObjectWhere(predicate, std::forward<Args>(args)...);
  }
  void setValue(const std::string& key, const Value& value) const { results_.setValue(key, value); }
  TypedResults reloaded() const { return TypedResults(results_.reloaded()); }

  using ChangeBlock = std::function<void(const TypedResults& results, const CollectionChange* change, const ErrorRef& error)>;
  [[nodiscard]] NotificationToken observe(ChangeBlock block, DispatchQueue* queue = &DispatchQueue::mainQueue()) const {
    return results_.observe(
        [block = std::move(block)](const Results& r, const CollectionChange* c, const ErrorRef& e) {
          block(TypedResults(r), c, e);
        },
        queue);
  }

 private:
  Results results_;
};

// Queries of a record class on a database.
template <typename T>
TypedResults<T> allObjects(Database& db) {
  return TypedResults<T>(db.objects(T::className()));
}
template <typename T, typename... Args>
TypedResults<T> objectsWhere(Database& db, std::string_view predicate, Args&&... args) {
  return TypedResults<T>(db.objects(T::className(), predicate, std::forward<Args>(args)...));
}
template <typename T>
std::optional<T> objectForPrimaryKey(Database& db, const Value& key) {
  auto o = db.objectForPrimaryKey(T::className(), key);
  if (!o) return std::nullopt;
  return T::fromObject(*o);
}

// The same queries on the default database, as class members of the record classes
// that inherit them: `class KVRSource : public store::DefaultDatabaseQueries<KVRSource>`.
// When the default database cannot be opened they read as empty (the failure is
// logged).
template <typename T>
struct DefaultDatabaseQueries {
  static TypedResults<T> allObjects() {
    auto db = Database::defaultDatabase();
    return db ? store::allObjects<T>(*db) : TypedResults<T>();
  }
  template <typename... Args>
  static TypedResults<T> objectsWhere(std::string_view predicate, Args&&... args) {
    auto db = Database::defaultDatabase();
    return db ? store::objectsWhere<T>(*db, predicate, std::forward<Args>(args)...) : TypedResults<T>();
  }
  // For a class with a primary key.
  static std::optional<T> objectForPrimaryKey(const Value& key) {
    auto db = Database::defaultDatabase();
    return db ? store::objectForPrimaryKey<T>(*db, key) : std::nullopt;
  }
};

}  // namespace store
