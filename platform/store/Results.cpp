#include "store/Results.h"

#include <stdexcept>

#include "store/ChangeNotifier.h"
#include "store/Database.h"
#include "store/DatabaseImpl.h"
#include "store/MemoryColumns.h"
#include "store/Predicate.h"
#include "store/PredicateCompiler.h"

namespace store {

Results::Results(std::shared_ptr<Database> database, ObjectSchemaRef schema, std::shared_ptr<const Query> query,
                 std::shared_ptr<const Snapshot> snapshot)
    : database_(std::move(database)), schema_(std::move(schema)), query_(std::move(query)), snapshot_(std::move(snapshot)) {}

const std::string& Results::className() const {
  static const std::string empty;
  return schema_ ? schema_->className() : empty;
}

const Results::Snapshot& Results::snapshot() const {
  if (!snapshot_) takeSnapshot({}, nullptr);
  return *snapshot_;
}

void Results::takeSnapshot(const std::vector<const Property*>& columns, std::vector<std::vector<Value>>* values) const {
  auto taken = std::make_shared<Snapshot>();
  if (database_) {
    auto& impl = database_->impl();
    const ClassInfo& info = impl.classInfo(className());
    MemoryColumns* memory = impl.memoryFor(className());
    if (memory && memory->evaluate(*query_, columns, taken->ids, values)) {
      snapshot_ = std::move(taken);
      return;
    }
    try {
      Database::Impl::Lease c(impl);
      taken->ids = evaluateQuery(*c, info, *query_, columns, values);
    } catch (const StoreException& e) {
      // Inside a write transaction the write fails as a whole.
      if (!e.isFileFailure() || impl.isWriterThread()) throw;
      impl.logReadFailure("a query", e);
      taken->error = e.toError();
      if (values) values->assign(columns.size(), {});
    }
  }
  snapshot_ = std::move(taken);
}

const std::vector<int64_t>& Results::ids() const { return snapshot().ids; }

const std::vector<int64_t>& Results::objectIds() const { return ids(); }

ErrorRef Results::error() const { return snapshot().error; }

size_t Results::count() const { return ids().size(); }

std::optional<StoreObject> Results::at(size_t index) const {
  const auto& list = ids();
  if (index >= list.size()) throw std::out_of_range("Results index out of range");
  auto& impl = database_->impl();
  const ClassInfo& info = impl.classInfo(className());
  return impl.readOrNothing("a record", [&] {
    Database::Impl::Lease c(impl);
    return impl.loadObject(*c, info, list[index]);
  });
}

std::optional<StoreObject> Results::first() const {
  if (empty()) return std::nullopt;
  return at(0);
}

std::optional<StoreObject> Results::last() const {
  if (empty()) return std::nullopt;
  return at(count() - 1);
}

std::vector<StoreObject> Results::objects() const {
  const auto& list = ids();
  if (list.empty()) return {};
  auto& impl = database_->impl();
  const ClassInfo& info = impl.classInfo(className());
  return impl.readOrNothing("records", [&] {
    std::vector<StoreObject> out;
    Database::Impl::Lease c(impl);
    sql::Statement st = c->prepare("SELECT " + info.selectList + " FROM json_each(?) j JOIN " + info.table + " ON " +
                                   info.table + "._id = j.value ORDER BY j.key");
    st.bindText(1, idListJson(list));
    out.reserve(list.size());
    while (st.step()) out.push_back(impl.readRow(*c, info, st, st.columnInt(0)));
    return out;
  });
}

std::vector<Value> Results::valuesForKey(const std::string& property) const {
  return std::move(valuesForKeys({property}).front());
}

std::vector<std::vector<Value>> Results::valuesForKeys(const std::vector<std::string>& properties) const {
  std::vector<const Property*> columns;
  bool allColumns = true;
  for (const auto& name : properties) {
    const Property* p = schema_ ? schema_->find(name) : nullptr;
    if (!p) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Property '" + name + "' not found in object of type '" + className() + "'");
    }
    allColumns = allColumns && p->isColumn();
    columns.push_back(p);
  }
  std::vector<std::vector<Value>> out(properties.size());
  if (!allColumns) {
    for (const auto& o : objects()) {
      Value record = o.toValue();
      for (size_t k = 0; k < properties.size(); ++k) out[k].push_back(record[properties[k]]);
    }
    return out;
  }
  if (!snapshot_ && database_) {
    takeSnapshot(columns, &out);
    return out;
  }
  const auto& list = ids();
  if (list.empty()) return out;
  auto& impl = database_->impl();
  const ClassInfo& info = impl.classInfo(className());
  if (MemoryColumns* memory = impl.memoryFor(className()); memory && memory->valuesOf(list, columns, out)) return out;
  out = impl.readOrNothing("values", [&] {
    std::string select;
    for (const Property* p : columns) select += (select.empty() ? "" : ", ") + info.table + "." + sql::quoteIdentifier(p->name);
    Database::Impl::Lease c(impl);
    sql::Statement st = c->prepare("SELECT " + select + " FROM json_each(?) j JOIN " + info.table + " ON " + info.table +
                                   "._id = j.value ORDER BY j.key");
    st.bindText(1, idListJson(list));
    std::vector<std::vector<Value>> read(columns.size());
    for (auto& column : read) column.reserve(list.size());
    while (st.step())
      for (size_t k = 0; k < columns.size(); ++k) read[k].push_back(columnValueAs(*columns[k], st, static_cast<int>(k)));
    return read;
  });
  out.resize(columns.size());  // a failed read leaves every list empty
  return out;
}

Results Results::objectsWhere(std::string_view predicate, std::vector<Value> arguments) const {
  if (!database_) return *this;
  PredicateRef node = parsePredicate(predicate, arguments);
  const ClassInfo& info = database_->impl().classInfo(className());
  SqlCondition condition = compilePredicate(*node, database_->schema(), *schema_, info.table);
  auto query = std::make_shared<Query>(*query_);
  query->where = query->where == "1" ? condition.sql : "(" + query->where + ") AND " + condition.sql;
  for (auto& a : condition.arguments) query->arguments.push_back(std::move(a));
  query->predicates.push_back(std::move(node));
  return Results(database_, schema_, std::move(query));
}

Results Results::sorted(const std::string& keyPath, bool ascending) const { return sorted({{keyPath, ascending}}); }

Results Results::sorted(const std::vector<SortDescriptor>& descriptors) const {
  if (!database_) return *this;
  auto query = std::make_shared<Query>(*query_);
  // The new descriptors lead: they go last, as evaluateQuery() reads the list backwards.
  for (auto it = descriptors.rbegin(); it != descriptors.rend(); ++it) query->sorts.push_back(*it);
  return Results(database_, schema_, std::move(query));
}

Results Results::distinct(const std::vector<std::string>& keyPaths) const {
  if (!database_) return *this;
  auto query = std::make_shared<Query>(*query_);
  for (const auto& k : keyPaths) query->distinct.push_back(k);
  return Results(database_, schema_, std::move(query));
}

std::optional<size_t> Results::indexOfObject(const StoreObject& object) const {
  if (object.className() != className() || !object.isManaged()) return std::nullopt;
  const auto& list = ids();
  for (size_t i = 0; i < list.size(); ++i) {
    if (list[i] == object.objectId()) return i;
  }
  return std::nullopt;
}

std::optional<size_t> Results::indexOfObjectWhereArgs(std::string_view predicate, std::vector<Value> arguments) const {
  if (!database_) return std::nullopt;
  Results matching = objectsWhere(predicate, std::move(arguments));
  std::unordered_set<int64_t> hits(matching.ids().begin(), matching.ids().end());
  const auto& list = ids();
  for (size_t i = 0; i < list.size(); ++i) {
    if (hits.count(list[i])) return i;
  }
  return std::nullopt;
}

void Results::setValue(const std::string& property, const Value& value) const {
  if (!database_) return;
  auto& impl = database_->impl();
  sql::Connection& c = impl.requireWriter("set values on results");
  const ClassInfo& info = impl.classInfo(className());
  int index = info.schema->indexOf(property);
  if (index < 0 || !info.schema->property(index).isColumn()) {
    throw StoreException(StoreException::Kind::InvalidProperty,
                         "Cannot set '" + property + "' on results of '" + className() + "'");
  }
  const Property& p = info.schema->property(index);
  if (value.isNull() && !p.isOptional) {
    throw StoreException(StoreException::Kind::InvalidValue, "Invalid null value for non-nullable property '" + p.name + "'");
  }
  const auto& list = ids();
  if (list.empty()) return;
  std::string col = sql::quoteIdentifier(p.name);
  sql::Statement st = c.prepare("UPDATE " + info.table + " SET " + col + " = ?1 WHERE _id IN (SELECT value FROM json_each(?2)) AND " +
                                col + " IS NOT ?1");
  st.bind(1, storageValue(p, value));
  st.bindText(2, idListJson(list));
  st.run();
}

Results& Results::reload() {
  snapshot_.reset();
  return *this;
}

Results Results::reloaded() const {
  Results copy = *this;
  copy.snapshot_.reset();
  return copy;
}

NotificationToken Results::observe(ChangeBlock block, DispatchQueue* queue) const {
  if (!database_) return NotificationToken();
  return database_->impl().notifier->observeResults(*this, std::move(block), queue);
}

}  // namespace store
