#include "store/Schema.h"

#include "store/StoreException.h"

namespace store {

const char* propertyTypeName(PropertyType type) {
  switch (type) {
    case PropertyType::Bool: return "bool";
    case PropertyType::Int: return "int";
    case PropertyType::Double: return "double";
    case PropertyType::String: return "string";
    case PropertyType::Date: return "date";
    case PropertyType::Data: return "data";
    case PropertyType::StringList: return "string list";
    case PropertyType::LinkList: return "link list";
  }
  return "?";
}

static std::optional<PropertyType> propertyTypeNamed(const std::string& name) {
  for (auto t : {PropertyType::Bool, PropertyType::Int, PropertyType::Double, PropertyType::String,
                 PropertyType::Date, PropertyType::Data, PropertyType::StringList, PropertyType::LinkList}) {
    if (name == propertyTypeName(t)) return t;
  }
  return std::nullopt;
}

Value Property::initialValue() const {
  if (!defaultValue.isNull()) return defaultValue;
  if (isList()) return Value(Value::Array{});
  if (isOptional) return Value();
  switch (type) {
    case PropertyType::Bool: return Value(false);
    case PropertyType::Int: return Value(0);
    case PropertyType::Double: return Value(0.0);
    default: return Value();
  }
}

bool Property::sameShape(const Property& other) const {
  return name == other.name && type == other.type && isOptional == other.isOptional &&
         isPrimary == other.isPrimary && objectClass == other.objectClass;
}

ObjectSchema& ObjectSchema::add(Property property) {
  if (index_.count(property.name)) {
    throw StoreException(StoreException::Kind::InvalidProperty,
                         "Property '" + property.name + "' is declared twice in '" + className_ + "'");
  }
  if (property.isPrimary) {
    if (primary_ >= 0) {
      throw StoreException(StoreException::Kind::InvalidProperty, "Class '" + className_ + "' has two primary keys");
    }
    if (property.type != PropertyType::String && property.type != PropertyType::Int) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Primary key '" + property.name + "' must be a string or an integer");
    }
    primary_ = static_cast<int>(properties_.size());
  }
  if (property.isList()) property.isOptional = false;
  index_[property.name] = static_cast<int>(properties_.size());
  properties_.push_back(std::move(property));
  return *this;
}

int ObjectSchema::indexOf(const std::string& name) const {
  auto it = index_.find(name);
  return it == index_.end() ? -1 : it->second;
}

const Property* ObjectSchema::find(const std::string& name) const {
  int i = indexOf(name);
  return i < 0 ? nullptr : &properties_[i];
}

Value ObjectSchema::toValue() const {
  Value props = Value::array();
  for (const auto& p : properties_) {
    Value v = Value::dict({{"name", p.name},
                           {"type", propertyTypeName(p.type)},
                           {"optional", p.isOptional},
                           {"indexed", p.isIndexed},
                           {"sortIndexed", p.isSortIndexed},
                           {"primary", p.isPrimary},
                           {"default", p.defaultValue}});
    if (!p.objectClass.empty()) {
      v.set("objectClass", p.objectClass);
      v.set("ownsTargets", p.ownsTargets);
    }
    props.push_back(std::move(v));
  }
  return Value::dict({{"className", className_}, {"properties", std::move(props)}});
}

std::optional<ObjectSchema> ObjectSchema::fromValue(const Value& value) {
  auto name = value["className"].optString();
  if (!name || !value["properties"].isArray()) return std::nullopt;
  ObjectSchema schema(*name);
  for (const auto& pv : *value["properties"].arrayPtr()) {
    auto type = propertyTypeNamed(pv["type"].asString());
    if (!type || !pv["name"].isString()) return std::nullopt;
    Property p(pv["name"].asString(), *type);
    p.isOptional = pv["optional"].asBool(true);
    p.isIndexed = pv["indexed"].asBool();
    p.isSortIndexed = pv["sortIndexed"].asBool();
    p.isPrimary = pv["primary"].asBool();
    p.defaultValue = pv["default"];
    p.objectClass = pv["objectClass"].asString();
    p.ownsTargets = pv["ownsTargets"].asBool();
    try {
      schema.add(std::move(p));
    } catch (const StoreException&) {
      return std::nullopt;
    }
  }
  return schema;
}

Schema::Schema(std::initializer_list<ObjectSchema> classes) {
  for (const auto& c : classes) add(c);
}

Schema& Schema::add(ObjectSchema objectSchema) { return add(std::make_shared<const ObjectSchema>(std::move(objectSchema))); }

Schema& Schema::add(ObjectSchemaRef objectSchema) {
  if (find(objectSchema->className())) {
    throw StoreException(StoreException::Kind::InvalidProperty,
                         "Class '" + objectSchema->className() + "' is declared twice");
  }
  classes_.push_back(std::move(objectSchema));
  return *this;
}

ObjectSchemaRef Schema::find(const std::string& className) const {
  for (const auto& c : classes_) {
    if (c->className() == className) return c;
  }
  return nullptr;
}

const ObjectSchemaRef& Schema::get(const std::string& className) const {
  for (const auto& c : classes_) {
    if (c->className() == className) return c;
  }
  throw StoreException(StoreException::Kind::InvalidProperty, "Object type '" + className + "' is not in the schema");
}

Value Schema::toValue() const {
  Value classes = Value::array();
  for (const auto& c : classes_) classes.push_back(c->toValue());
  return classes;
}

std::optional<Schema> Schema::fromValue(const Value& value) {
  if (!value.isArray()) return std::nullopt;
  Schema schema;
  for (const auto& cv : *value.arrayPtr()) {
    auto c = ObjectSchema::fromValue(cv);
    if (!c) return std::nullopt;
    schema.add(std::move(*c));
  }
  return schema;
}

}  // namespace store
