#pragma once
// A typed record's fields handed one by one, in declaration order, to the store, which
// binds them to its insert statement without building a StoreObject first: for imports
// that add many records.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "store/RecordTraits.h"

namespace store {

class Database;

namespace record {

class FieldVisitor;

// A list of linked records handed over as typed records: `fields(i, visitor)` hands the
// fields of the i-th, in declaration order, to the visitor; `objects()` makes them into
// objects, for where the store cannot take them field by field.
struct RecordList {
  size_t count;
  ObjectSchemaRef schema;
  std::function<void(size_t, FieldVisitor&)> fields;
  std::function<std::vector<StoreObject>()> objects;
};

class FieldVisitor {
 public:
  virtual ~FieldVisitor() = default;
  // Texts; null for none.
  virtual void text(const std::string* value) = 0;
  // Booleans (0 or 1) and integers.
  virtual void integer(std::optional<int64_t> value) = 0;
  // Doubles, and dates as their seconds.
  virtual void real(std::optional<double> value) = 0;
  virtual void data(const Data* value) = 0;
  virtual void texts(const std::vector<std::string>& value) = 0;
  // The same, already encoded as the store keeps it (lists::encodeInto), so the encoding
  // can be done elsewhere: bound where it lies, so it must stay there until the record is in.
  virtual void encodedTexts(std::string_view encoded) = 0;
  // A list of linked records, as objects.
  virtual void records(std::vector<StoreObject> value) = 0;
  // The same, typed (see visitRecords).
  virtual void records(RecordList value) = 0;
};

// Hands one field (of a type records may hold) to the visitor as the store keeps it.
template <typename T>
void visit(FieldVisitor& visitor, const T& field) {
  if constexpr (isRecordList<T>::value) {
    std::vector<StoreObject> objects;
    objects.reserve(field.size());
    for (const auto& r : field) objects.push_back(r.toObject());
    visitor.records(std::move(objects));
  } else if constexpr (std::is_same_v<T, std::string>) {
    visitor.text(&field);
  } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
    visitor.texts(field);
  } else if constexpr (std::is_same_v<T, Data>) {
    visitor.data(&field);
  } else if constexpr (std::is_same_v<T, Date>) {
    visitor.real(field.seconds);
  } else if constexpr (std::is_same_v<T, bool>) {
    visitor.integer(field ? 1 : 0);
  } else if constexpr (std::is_floating_point_v<T>) {
    visitor.real(static_cast<double>(field));
  } else if constexpr (std::is_integral_v<T>) {
    visitor.integer(static_cast<int64_t>(field));
  } else {
    // std::optional of one of the above
    using Inner = typename T::value_type;
    if (field) {
      visit<Inner>(visitor, *field);
    } else if constexpr (std::is_same_v<Inner, std::string>) {
      visitor.text(nullptr);
    } else if constexpr (std::is_same_v<Inner, Data>) {
      visitor.data(nullptr);
    } else if constexpr (std::is_same_v<Inner, Date> || std::is_floating_point_v<Inner>) {
      visitor.real(std::nullopt);
    } else {
      visitor.integer(std::nullopt);
    }
  }
}

// Hands a list of linked records to the visitor field by field, `visitFields(record,
// visitor)` handing each record's fields as addRecord's does; it must outlive the visit.
template <typename R, typename VisitFields>
void visitRecords(FieldVisitor& visitor, const std::vector<R>& list, VisitFields visitFields) {
  visitor.records(RecordList{list.size(), R::schemaRef(),
                             [&list, visitFields](size_t i, FieldVisitor& v) { visitFields(list[i], v); },
                             [&list] {
                               std::vector<StoreObject> objects;
                               objects.reserve(list.size());
                               for (const auto& r : list) objects.push_back(r.toObject());
                               return objects;
                             }});
}

// Inside a write transaction: inserts a new record of class R whose fields `visitFields`
// hands over, every one in declaration order, as Database::add does with R's object (a
// taken primary key raises PrimaryKeyExists). Where the database keeps another
// declaration of the class, the record goes in as its object.
int64_t addFields(Database& db, const std::string& className, const ObjectSchemaRef& schema,
                  const std::function<void(FieldVisitor&)>& visitFields, const std::function<StoreObject()>& object);

// The same for `count` new records of one class at once, `visitFields(i, visitor)` handing
// the i-th's fields (`object(i)` making it, where the fields cannot go as they are): their
// rows' ids go to `ids`, in order. Several rows go in by one statement, which costs each
// a part of its own statement's work; the fields handed must stay until this returns.
void addManyFields(Database& db, const std::string& className, const ObjectSchemaRef& schema, size_t count,
                   const std::function<void(size_t, FieldVisitor&)>& visitFields,
                   const std::function<StoreObject(size_t)>& object, int64_t* ids);

template <typename R, typename VisitFields>
int64_t addRecord(Database& db, const R& record, VisitFields visitFields) {
  return addFields(db, R::className(), R::schemaRef(), [&](FieldVisitor& visitor) { visitFields(record, visitor); },
                   [&record] { return record.toObject(); });
}

}  // namespace record
}  // namespace store
