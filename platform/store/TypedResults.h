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
  T at(size_t index) const { return T::fromObject(results_.at(index)); }
  T operator[](size_t index) const { return at(index); }
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
  NotificationToken observe(ChangeBlock block) const {
    return results_.observe([block = std::move(block)](const Results& r, const CollectionChange* c, const ErrorRef& e) {
      block(TypedResults(r), c, e);
    });
  }

  class iterator {
   public:
    iterator(const TypedResults* r, size_t i) : r_(r), i_(i) {}
    T operator*() const { return r_->at(i_); }
    iterator& operator++() {
      ++i_;
      return *this;
    }
    bool operator!=(const iterator& o) const { return i_ != o.i_; }
    bool operator==(const iterator& o) const { return i_ == o.i_; }

   private:
    const TypedResults* r_;
    size_t i_;
  };
  iterator begin() const { return iterator(this, 0); }
  iterator end() const { return iterator(this, count()); }

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
template <typename T>
struct DefaultDatabaseQueries {
  static TypedResults<T> allObjects() { return store::allObjects<T>(*Database::defaultDatabase()); }
  template <typename... Args>
  static TypedResults<T> objectsWhere(std::string_view predicate, Args&&... args) {
    return store::objectsWhere<T>(*Database::defaultDatabase(), predicate, std::forward<Args>(args)...);
  }
  // For a class with a primary key.
  static std::optional<T> objectForPrimaryKey(const Value& key) {
    return store::objectForPrimaryKey<T>(*Database::defaultDatabase(), key);
  }
};

}  // namespace store
