#pragma once
// Typed records over StoreObject: a record class lists its properties once (type,
// getter, setter, initial value) and gets its schema, its accessors and its
// conversions from that list. See KVR_RECORD / KVR_RECORD_IMPL below.
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "foundation/Date.h"
#include "foundation/Value.h"
#include "store/Schema.h"
#include "store/StoreObject.h"

namespace store::record {

template <typename T>
concept Record = requires(const T& t) {
  { T::className() } -> std::convertible_to<const char*>;
  { t.toObject() } -> std::same_as<StoreObject>;
};

template <typename T>
struct Traits;

template <>
struct Traits<std::string> {
  static constexpr PropertyType type = PropertyType::String;
  static constexpr bool optional = false;
  static Value toValue(const std::string& v) { return Value(v); }
  static Value toValue(std::string&& v) { return Value(std::move(v)); }
  static void fromValue(const Value& v, std::string& out) { out = v.asString(); }
};
template <>
struct Traits<bool> {
  static constexpr PropertyType type = PropertyType::Bool;
  static constexpr bool optional = false;
  static Value toValue(bool v) { return Value(v); }
  static void fromValue(const Value& v, bool& out) { out = v.asBool(); }
};
template <>
struct Traits<int> {
  static constexpr PropertyType type = PropertyType::Int;
  static constexpr bool optional = false;
  static Value toValue(int v) { return Value(v); }
  static void fromValue(const Value& v, int& out) { out = static_cast<int>(v.asInt()); }
};
template <>
struct Traits<int64_t> {
  static constexpr PropertyType type = PropertyType::Int;
  static constexpr bool optional = false;
  static Value toValue(int64_t v) { return Value(static_cast<long long>(v)); }
  static void fromValue(const Value& v, int64_t& out) { out = v.asInt(); }
};
template <>
struct Traits<double> {
  static constexpr PropertyType type = PropertyType::Double;
  static constexpr bool optional = false;
  static Value toValue(double v) { return Value(v); }
  static void fromValue(const Value& v, double& out) { out = v.asDouble(); }
};
template <>
struct Traits<Date> {
  static constexpr PropertyType type = PropertyType::Date;
  static constexpr bool optional = false;
  static Value toValue(Date v) { return Value(v); }
  static void fromValue(const Value& v, Date& out) { out = v.datePtr() ? *v.datePtr() : Date{v.asDouble()}; }
};
template <>
struct Traits<Data> {
  static constexpr PropertyType type = PropertyType::Data;
  static constexpr bool optional = false;
  static Value toValue(const Data& v) { return Value(v); }
  static void fromValue(const Value& v, Data& out) { out = v.dataPtr() ? *v.dataPtr() : Data{}; }
};
template <>
struct Traits<std::vector<std::string>> {
  static constexpr PropertyType type = PropertyType::StringList;
  static constexpr bool optional = false;
  static Value toValue(const std::vector<std::string>& v) {
    Value::Array a;
    a.reserve(v.size());
    for (const auto& s : v) a.emplace_back(s);
    return Value(std::move(a));
  }
  static Value toValue(std::vector<std::string>&& v) {
    Value::Array a;
    a.reserve(v.size());
    for (auto& s : v) a.emplace_back(std::move(s));
    return Value(std::move(a));
  }
  static void fromValue(const Value& v, std::vector<std::string>& out) {
    out.clear();
    if (auto a = v.arrayPtr()) {
      out.reserve(a->size());
      for (const auto& item : *a) out.push_back(item.asString());
    }
  }
};
template <typename T>
struct Traits<std::optional<T>> {
  static constexpr PropertyType type = Traits<T>::type;
  static constexpr bool optional = true;
  static Value toValue(const std::optional<T>& v) { return v ? Traits<T>::toValue(*v) : Value(); }
  static Value toValue(std::optional<T>&& v) { return v ? Traits<T>::toValue(std::move(*v)) : Value(); }
  static void fromValue(const Value& v, std::optional<T>& out) {
    if (v.isNull()) {
      out.reset();
    } else {
      T t{};
      Traits<T>::fromValue(v, t);
      out = std::move(t);
    }
  }
};

template <typename T>
struct isRecordList : std::false_type {};
template <Record R>
struct isRecordList<std::vector<R>> : std::true_type {};

template <typename T>
void addProperty(ObjectSchema& schema, const char* name, const T& initial) {
  if constexpr (isRecordList<T>::value) {
    schema.add(Property(name, PropertyType::LinkList).linkTo(T::value_type::className()));
  } else {
    Property p(name, Traits<T>::type);
    p.optional(Traits<T>::optional);
    Value v = Traits<T>::toValue(initial);
    if (!v.isNull() && !(v.isArray() && v.empty()) && !(v.isString() && v.asString().empty())) p.defaultsTo(v);
    schema.add(std::move(p));
  }
}

template <typename T>
void write(StoreObject& object, size_t index, const T& field) {
  if constexpr (isRecordList<T>::value) {
    auto& links = object.mutableLinksAt(index);
    links.clear();
    links.reserve(field.size());
    for (const auto& r : field) links.push_back(r.toObject());
  } else {
    object.setAt(index, Traits<T>::toValue(field));
  }
}

// The same, taking the field's contents instead of copying them.
template <typename T>
void take(StoreObject& object, size_t index, T& field) {
  if constexpr (isRecordList<T>::value) {
    auto& links = object.mutableLinksAt(index);
    links.clear();
    links.reserve(field.size());
    for (auto& r : field) links.push_back(std::move(r).toObject());
  } else {
    object.setAt(index, Traits<T>::toValue(std::move(field)));
  }
}

template <typename T>
void read(const StoreObject& object, size_t index, T& field) {
  if constexpr (isRecordList<T>::value) {
    field.clear();
    for (const auto& o : object.linksAt(index)) field.push_back(T::value_type::fromObject(o));
  } else {
    Traits<T>::fromValue(object.at(index), field);
  }
}

// For a record class's `customize` function: rebuilds the declaration with every
// property passed through `adjust` (to mark the primary key, indexes, owned lists).
template <typename Adjust>
void adjustProperties(ObjectSchema& schema, Adjust adjust) {
  ObjectSchema out(schema.className());
  for (Property p : schema.properties()) {
    adjust(p);
    out.add(std::move(p));
  }
  schema = std::move(out);
}

// The `customize` of a record class that keeps its declaration as listed.
inline void noCustomization(ObjectSchema&) {}

}  // namespace store::record

// One property of a record: P(Type, getter, setter, initial value).
#define KVR_FIELD_DECLARE(Type, name, Setter, Initial)          \
 public:                                                        \
  const Type& name() const { return name##_; }                  \
  void Setter(Type value) { name##_ = std::move(value); }       \
  /* The field itself, to fill in place (its room reused). */   \
  Type& name##Field() { return name##_; }                       \
                                                                \
 private:                                                       \
  Type name##_ = Initial;

// In the class body: accessors, fields and conversions for the property list.
#define KVR_RECORD(Class, LIST)                                        \
 public:                                                               \
  static const char* className() { return #Class; }                    \
  static const store::ObjectSchemaRef& schemaRef();                    \
  static Class fromObject(const store::StoreObject& object);           \
  store::StoreObject toObject() const&;                                \
  /* The same, taking the fields' contents: the record is left empty. */ \
  store::StoreObject toObject() &&;                                    \
  /* The row id once stored (0 for a record never stored). */          \
  int64_t objectId() const { return objectId_; }                       \
  void setObjectId(int64_t id) { objectId_ = id; }                     \
  LIST(KVR_FIELD_DECLARE)                                              \
                                                                       \
 private:                                                              \
  int64_t objectId_ = 0;                                               \
                                                                       \
 public:

#define KVR_ADD_PROPERTY(Type, name, Setter, Initial) \
  store::record::addProperty<Type>(schema, #name, Type(Initial));
#define KVR_WRITE_FIELD(Type, name, Setter, Initial) store::record::write(object, index++, name##_);
#define KVR_TAKE_FIELD(Type, name, Setter, Initial) store::record::take(object, index++, name##_);
#define KVR_READ_FIELD(Type, name, Setter, Initial) store::record::read(source, index++, record.name##_);

// In the source file: the schema (then adjusted by `customize`, a function taking the
// ObjectSchema&) and the two conversions.
#define KVR_RECORD_IMPL(Class, LIST, customize)                                                 \
  const store::ObjectSchemaRef& Class::schemaRef() {                                            \
    static const store::ObjectSchemaRef ref = [] {                                              \
      store::ObjectSchema schema(#Class);                                                       \
      LIST(KVR_ADD_PROPERTY)                                                                    \
      customize(schema);                                                                        \
      return std::make_shared<const store::ObjectSchema>(std::move(schema));                    \
    }();                                                                                        \
    return ref;                                                                                 \
  }                                                                                             \
  store::StoreObject Class::toObject() const& {                                                 \
    store::StoreObject object(schemaRef());                                                     \
    object.setObjectId(objectId_);                                                              \
    size_t index = 0;                                                                           \
    LIST(KVR_WRITE_FIELD)                                                                       \
    return object;                                                                              \
  }                                                                                             \
  store::StoreObject Class::toObject() && {                                                     \
    store::StoreObject object(schemaRef());                                                     \
    object.setObjectId(objectId_);                                                              \
    size_t index = 0;                                                                           \
    LIST(KVR_TAKE_FIELD)                                                                        \
    return object;                                                                              \
  }                                                                                             \
  Class Class::fromObject(const store::StoreObject& object) {                                   \
    const store::StoreObject& source =                                                          \
        object.schema() == schemaRef() ? object : object.remapped(schemaRef());                 \
    Class record;                                                                               \
    record.objectId_ = object.objectId();                                                       \
    size_t index = 0;                                                                           \
    LIST(KVR_READ_FIELD)                                                                        \
    return record;                                                                              \
  }
