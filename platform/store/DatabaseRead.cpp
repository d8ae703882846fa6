#include "store/DatabaseImpl.h"
#include "store/StringListCodec.h"

namespace store {

Value columnValueAs(const Property& p, const sql::Statement& st, int column) {
  if (st.isNull(column)) return p.type == PropertyType::StringList ? Value(Value::Array{}) : Value();
  switch (p.type) {
    case PropertyType::Bool: return Value(st.columnInt(column) != 0);
    case PropertyType::Int: return Value(static_cast<long long>(st.columnInt(column)));
    case PropertyType::Double: return Value(st.columnDouble(column));
    case PropertyType::String: return Value(st.columnText(column));
    case PropertyType::Date: return Value(Date{st.columnDouble(column)});
    case PropertyType::Data: return Value(st.columnBlob(column));
    case PropertyType::StringList: {
      auto list = lists::decode(st.columnTextView(column));
      return list ? std::move(*list) : Value(Value::Array{});
    }
    case PropertyType::LinkList: return Value();
  }
  return Value();
}

StoreObject objectFromColumns(const ClassInfo& info, const sql::Statement& st, int64_t id) {
  StoreObject object(info.schema);
  object.setObjectId(id);
  int column = 1;
  for (size_t index : info.columns) object.setAt(index, columnValueAs(info.schema->property(index), st, column++));
  return object;
}

namespace {

// Text that orders and compares like the value, for telling distinct values apart.
std::string distinctKey(const Value& v) {
  switch (v.type()) {
    case Value::Type::Null: return "n";
    case Value::Type::Integer: return "i" + std::to_string(v.asInt());
    case Value::Type::Real: return "r" + std::to_string(v.asDouble());
    case Value::Type::String: return "s" + *v.stringPtr();
    case Value::Type::Data: return "d" + stringFromData(*v.dataPtr());
    default: return "x" + v.toJSON();
  }
}

}  // namespace

StoreObject Database::Impl::readRow(sql::Connection& c, const ClassInfo& info, const sql::Statement& st, int64_t id) {
  StoreObject object = objectFromColumns(info, st, id);
  if (!info.links.empty()) loadLinks(c, info, object);
  return object;
}

std::optional<StoreObject> Database::Impl::loadObject(sql::Connection& c, const ClassInfo& info, int64_t id) {
  sql::Statement st = c.prepare(info.selectByIdSql);
  st.bindInt(1, id);
  if (!st.step()) return std::nullopt;
  StoreObject object = objectFromColumns(info, st, id);
  st.reset();
  if (!info.links.empty()) loadLinks(c, info, object);
  return object;
}

void Database::Impl::loadLinks(sql::Connection& c, const ClassInfo& info, StoreObject& object) {
  for (size_t index : info.links) {
    const ClassInfo& target = classInfo(info.schema->property(index).objectClass);
    std::string sqlText = "SELECT " + target.selectList + " FROM " + info.linkTable(index) + " l JOIN " +
                          target.table + " ON " + target.table + "._id = l.target WHERE l.owner = ? ORDER BY l.pos";
    std::vector<StoreObject> elements;
    {
      sql::Statement st = c.prepare(sqlText);
      st.bindInt(1, object.objectId());
      while (st.step()) elements.push_back(objectFromColumns(target, st, st.columnInt(0)));
    }
    if (!target.links.empty()) {
      for (auto& e : elements) loadLinks(c, target, e);
    }
    object.mutableLinksAt(index) = std::move(elements);
  }
}

std::vector<int64_t> evaluateQuery(sql::Connection& c, const ClassInfo& info, const Results::Query& query,
                                   const std::vector<const Property*>& columns, std::vector<std::vector<Value>>* values) {
  std::string select = "SELECT " + info.table + "._id";
  std::vector<const Property*> distinct;
  for (const auto& key : query.distinct) {
    const Property* p = info.schema->find(key);
    if (!p || !p->isColumn()) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Cannot make results distinct on '" + key + "' of '" + info.schema->className() + "'");
    }
    distinct.push_back(p);
    select += ", " + info.table + "." + sql::quoteIdentifier(p->name);
  }
  const int firstColumn = static_cast<int>(distinct.size()) + 1;
  for (const Property* p : columns) select += ", " + info.table + "." + sql::quoteIdentifier(p->name);
  if (values) values->assign(columns.size(), {});
  std::string order;
  for (auto it = query.sorts.rbegin(); it != query.sorts.rend(); ++it) {
    const Property* p = info.schema->find(it->keyPath);
    if (!p || !p->isColumn() || p->isList()) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Cannot sort on '" + it->keyPath + "' of '" + info.schema->className() + "'");
    }
    order += info.table + "." + sql::quoteIdentifier(p->name);
    if (p->type == PropertyType::String) order += " COLLATE QBSORT";
    order += it->ascending ? " ASC, " : " DESC, ";
  }
  order += info.table + "._id ASC";
  std::string sqlText = select + " FROM " + info.table + " WHERE " + query.where + " ORDER BY " + order;
  sql::Statement st = c.prepare(sqlText);
  for (size_t i = 0; i < query.arguments.size(); ++i) st.bind(static_cast<int>(i + 1), query.arguments[i]);
  std::vector<int64_t> ids;
  std::unordered_set<std::string> seen;
  while (st.step()) {
    if (!distinct.empty()) {
      std::string key;
      for (size_t k = 0; k < distinct.size(); ++k) {
        key += distinctKey(columnValueAs(*distinct[k], st, static_cast<int>(k + 1)));
        key.push_back('\0');
      }
      if (!seen.insert(std::move(key)).second) continue;
    }
    ids.push_back(st.columnInt(0));
    if (values) {
      for (size_t k = 0; k < columns.size(); ++k)
        (*values)[k].push_back(columnValueAs(*columns[k], st, firstColumn + static_cast<int>(k)));
    }
  }
  return ids;
}

}  // namespace store
