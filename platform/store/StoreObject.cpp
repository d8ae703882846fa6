#include "store/StoreObject.h"

#include "store/StoreException.h"

namespace store {

StoreObject::StoreObject(ObjectSchemaRef schema) : schema_(std::move(schema)) {
  values_.reserve(schema_->size());
  for (const auto& p : schema_->properties()) values_.push_back(p.type == PropertyType::LinkList ? Value() : p.initialValue());
  links_.resize(schema_->size());
}

const std::string& StoreObject::className() const {
  static const std::string empty;
  return schema_ ? schema_->className() : empty;
}

size_t StoreObject::checkedIndex(const std::string& name) const {
  if (!schema_) throw StoreException(StoreException::Kind::InvalidProperty, "Invalid object has no property '" + name + "'");
  int i = schema_->indexOf(name);
  if (i < 0) {
    throw StoreException(StoreException::Kind::InvalidProperty,
                         "Property '" + name + "' not found in object of type '" + schema_->className() + "'");
  }
  return static_cast<size_t>(i);
}

const Value& StoreObject::get(const std::string& name) const { return values_[checkedIndex(name)]; }

void StoreObject::set(const std::string& name, Value value) { setAt(checkedIndex(name), std::move(value)); }

void StoreObject::setAt(size_t index, Value value) {
  if (schema_->property(index).type == PropertyType::LinkList) {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "Property '" + schema_->property(index).name + "' is a list of links: use mutableLinks()");
  }
  values_.at(index) = std::move(value);
}

std::optional<std::string> StoreObject::getString(const std::string& name) const { return get(name).optString(); }

std::optional<bool> StoreObject::getBool(const std::string& name) const {
  const Value& v = get(name);
  if (v.isNull()) return std::nullopt;
  return v.asBool();
}

std::optional<int64_t> StoreObject::getInt(const std::string& name) const {
  const Value& v = get(name);
  if (v.isNull()) return std::nullopt;
  return v.asInt();
}

std::optional<double> StoreObject::getDouble(const std::string& name) const {
  const Value& v = get(name);
  if (v.isNull()) return std::nullopt;
  return v.asDouble();
}

std::optional<Date> StoreObject::getDate(const std::string& name) const {
  const Value& v = get(name);
  if (auto d = v.datePtr()) return *d;
  if (v.isNumber()) return Date{v.asDouble()};
  return std::nullopt;
}

std::optional<Data> StoreObject::getData(const std::string& name) const {
  const Value& v = get(name);
  if (auto d = v.dataPtr()) return *d;
  return std::nullopt;
}

std::vector<std::string> StoreObject::getStringList(const std::string& name) const {
  std::vector<std::string> out;
  if (auto a = get(name).arrayPtr()) {
    out.reserve(a->size());
    for (const auto& item : *a) out.push_back(item.asString());
  }
  return out;
}

void StoreObject::setStringList(const std::string& name, const std::vector<std::string>& items) {
  Value::Array a;
  a.reserve(items.size());
  for (const auto& s : items) a.emplace_back(s);
  set(name, Value(std::move(a)));
}

const std::vector<StoreObject>& StoreObject::links(const std::string& name) const { return linksAt(checkedIndex(name)); }

std::vector<StoreObject>& StoreObject::mutableLinks(const std::string& name) { return mutableLinksAt(checkedIndex(name)); }

const std::vector<StoreObject>& StoreObject::linksAt(size_t index) const { return links_.at(index); }

std::vector<StoreObject>& StoreObject::mutableLinksAt(size_t index) {
  if (schema_->property(index).type != PropertyType::LinkList) {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "Property '" + schema_->property(index).name + "' is not a list of links");
  }
  return links_.at(index);
}

Value StoreObject::primaryKeyValue() const {
  if (!schema_ || schema_->primaryKeyIndex() < 0) return Value();
  return values_[schema_->primaryKeyIndex()];
}

Value StoreObject::toValue() const {
  Value out = Value::dict();
  if (!schema_) return out;
  for (size_t i = 0; i < schema_->size(); ++i) {
    const auto& p = schema_->property(i);
    if (p.type == PropertyType::LinkList) {
      Value list = Value::array();
      for (const auto& o : links_[i]) list.push_back(o.toValue());
      out.set(p.name, std::move(list));
    } else {
      out.set(p.name, values_[i]);
    }
  }
  return out;
}

StoreObject StoreObject::remapped(const ObjectSchemaRef& schema) const {
  if (schema == schema_) return *this;
  StoreObject out(schema);
  out.id_ = id_;
  if (!schema_) return out;
  for (size_t i = 0; i < schema->size(); ++i) {
    int from = schema_->indexOf(schema->property(i).name);
    if (from < 0) continue;
    if (schema->property(i).type == PropertyType::LinkList) out.links_[i] = links_[static_cast<size_t>(from)];
    else out.values_[i] = values_[static_cast<size_t>(from)];
  }
  return out;
}

bool StoreObject::sameContent(const StoreObject& other) const {
  if (schema_ != other.schema_ && (!schema_ || !other.schema_ || schema_->className() != other.schema_->className())) {
    return false;
  }
  if (values_ != other.values_ || links_.size() != other.links_.size()) return false;
  for (size_t i = 0; i < links_.size(); ++i) {
    if (links_[i].size() != other.links_[i].size()) return false;
    for (size_t j = 0; j < links_[i].size(); ++j) {
      if (!links_[i][j].sameContent(other.links_[i][j])) return false;
    }
  }
  return true;
}

}  // namespace store
