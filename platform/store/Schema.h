#pragma once
// The declared shape of the stored record classes: one ObjectSchema per class, with
// its properties in declaration order, an optional primary key, optional/required
// properties, defaults, indexes, lists of texts and lists of links to another class.
#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

namespace store {

enum class PropertyType { Bool, Int, Double, String, Date, Data, StringList, LinkList };

const char* propertyTypeName(PropertyType type);

struct Property {
  std::string name;
  PropertyType type = PropertyType::String;
  // A null is allowed. Lists are never null (an empty list stands for "none").
  bool isOptional = true;
  bool isIndexed = false;
  bool isPrimary = false;
  // Texts only: an index kept in the order results sort texts in, so a list sorted by
  // this property is read in that order instead of being sorted on every query.
  bool isSortIndexed = false;
  // Flags only: an index of the rows where the flag is set, and of no other. A query for
  // the few set among many reads those few, at no cost to the writes of the others. Not
  // part of the stored schema (the file's own indexes say which exist).
  bool isIndexedWhenSet = false;
  // Strings, numbers and flags: kept in memory as well (MemoryColumns.h), for queries
  // over every record of a large class. Not part of the stored schema.
  bool isHeldInMemory = false;
  // Held in memory, and what a sort by it and a search in it need (the order of its
  // values, and its texts folded by case and diacritics) worked out as soon as the copy
  // is read, not by the first query that asks: for the key a large list is sorted by and
  // searched in, whose first use after a start would wait for it. Not stored either.
  bool isPreparedInMemory = false;
  // Stored for a property that is not given on insert; null means "none".
  Value defaultValue;
  // LinkList only: the class the list links to, and whether the linked rows belong to
  // the list (deleted with their owner and when they leave the list).
  std::string objectClass;
  bool ownsTargets = false;

  Property() = default;
  Property(std::string n, PropertyType t) : name(std::move(n)), type(t) {}

  Property& required() { isOptional = false; return *this; }
  Property& optional(bool value = true) { isOptional = value; return *this; }
  Property& indexed() { isIndexed = true; return *this; }
  Property& sortIndexed() { isSortIndexed = true; return *this; }
  Property& indexedWhenSet() { isIndexedWhenSet = true; return *this; }
  Property& heldInMemory() { isHeldInMemory = true; return *this; }
  Property& preparedInMemory() { isHeldInMemory = isPreparedInMemory = true; return *this; }
  Property& primaryKey() { isPrimary = true; isOptional = false; isIndexed = true; return *this; }
  Property& defaultsTo(Value value) { defaultValue = std::move(value); return *this; }
  Property& linkTo(std::string className, bool owns = false) {
    objectClass = std::move(className);
    ownsTargets = owns;
    return *this;
  }

  bool isList() const { return type == PropertyType::StringList || type == PropertyType::LinkList; }
  bool isColumn() const { return type != PropertyType::LinkList; }
  // The value a fresh object holds when nothing is set: the default, else 0/NO for a
  // required number, an empty list for a list, null otherwise.
  Value initialValue() const;
  // Same declared shape (indexes and defaults aside): what decides whether the file
  // needs a migration.
  bool sameShape(const Property& other) const;
};

class ObjectSchema {
 public:
  ObjectSchema() = default;
  explicit ObjectSchema(std::string className) : className_(std::move(className)) {}

  ObjectSchema& add(Property property);

  const std::string& className() const { return className_; }
  const std::vector<Property>& properties() const { return properties_; }
  const Property& property(size_t index) const { return properties_[index]; }
  size_t size() const { return properties_.size(); }
  // -1 when the class has no such property.
  int indexOf(const std::string& name) const;
  const Property* find(const std::string& name) const;
  // The primary key property, or null.
  const Property* primaryKey() const { return primary_ < 0 ? nullptr : &properties_[primary_]; }
  int primaryKeyIndex() const { return primary_; }

  Value toValue() const;
  static std::optional<ObjectSchema> fromValue(const Value& value);

 private:
  std::string className_;
  std::vector<Property> properties_;
  std::map<std::string, int> index_;
  int primary_ = -1;
};

using ObjectSchemaRef = std::shared_ptr<const ObjectSchema>;

class Schema {
 public:
  Schema() = default;
  Schema(std::initializer_list<ObjectSchema> classes);
  Schema& add(ObjectSchema objectSchema);
  // Shares the class's declaration (records made from the same declaration then need
  // no translation when written).
  Schema& add(ObjectSchemaRef objectSchema);

  const std::vector<ObjectSchemaRef>& classes() const { return classes_; }
  ObjectSchemaRef find(const std::string& className) const;
  // The class, or a StoreException naming it.
  const ObjectSchemaRef& get(const std::string& className) const;

  Value toValue() const;
  static std::optional<Schema> fromValue(const Value& value);

 private:
  std::vector<ObjectSchemaRef> classes_;
};

}  // namespace store
