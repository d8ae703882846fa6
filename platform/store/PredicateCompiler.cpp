#include "store/PredicateCompiler.h"

#include "store/SqliteConnection.h"
#include "store/StoreException.h"
#include "store/TextFolding.h"

namespace store {

namespace {

using Node = PredicateNode;
using Op = Node::Op;
using Expr = PredicateExpression;

[[noreturn]] void unsupported(const std::string& why) {
  throw StoreException(StoreException::Kind::InvalidPredicate, "Unsupported predicate: " + why);
}

int stringOpCode(Op op) {
  switch (op) {
    case Op::Equal: return sql::kOpEquals;
    case Op::Contains: return sql::kOpContains;
    case Op::BeginsWith: return sql::kOpBeginsWith;
    case Op::EndsWith: return sql::kOpEndsWith;
    case Op::Like: return sql::kOpLike;
    default: return -1;
  }
}

// A value for comparing against a column (not a whole list): bools as 0/1 and dates as
// seconds, whatever the column.
Value comparable(const Value& v) {
  if (v.isBool()) return Value(v.asBool() ? 1 : 0);
  if (v.isDate()) return Value(v.datePtr()->seconds);
  return v;
}

std::string jsonArray(const Value& array) {
  Value::Array items;
  for (const auto& v : *array.arrayPtr()) items.push_back(comparable(v));
  return Value(std::move(items)).toJSON();
}

class Compiler {
 public:
  Compiler(const Schema& schema, SqlCondition& out) : schema_(schema), out_(out) {}

  std::string node(const Node& n, const ObjectSchema& cls, const std::string& table) {
    switch (n.kind) {
      case Node::Kind::True: return "1";
      case Node::Kind::False: return "0";
      case Node::Kind::Not: return "(NOT " + node(*n.children.at(0), cls, table) + ")";
      case Node::Kind::And:
      case Node::Kind::Or: {
        std::string joined = "(";
        for (size_t i = 0; i < n.children.size(); ++i) {
          if (i) joined += n.kind == Node::Kind::And ? " AND " : " OR ";
          joined += node(*n.children[i], cls, table);
        }
        return joined + ")";
      }
      case Node::Kind::Comparison: return comparison(n, cls, table);
    }
    return "0";
  }

 private:
  std::string bind(Value v) {
    out_.arguments.push_back(std::move(v));
    return "?";
  }

  struct Resolved {
    const Property* property = nullptr;
    const ObjectSchema* owner = nullptr;
    std::string column;      // qualified column, for a scalar or a text list
    bool isCount = false;    // "list.@count"
    std::string countSql;
    // A key path through a list of links: "links.prop".
    const Property* link = nullptr;
    std::string rest;
  };

  Resolved resolve(const std::string& keyPath, const ObjectSchema& cls, const std::string& table) {
    Resolved r;
    r.owner = &cls;
    std::string head = keyPath, rest;
    if (auto dot = keyPath.find('.'); dot != std::string::npos) {
      head = keyPath.substr(0, dot);
      rest = keyPath.substr(dot + 1);
    }
    r.property = cls.find(head);
    if (!r.property) {
      throw StoreException(StoreException::Kind::InvalidProperty,
                           "Property '" + head + "' not found in object of type '" + cls.className() + "'");
    }
    if (rest.empty()) {
      if (r.property->type == PropertyType::LinkList) unsupported("comparing the list '" + head + "' itself");
      r.column = table + "." + sql::quoteIdentifier(r.property->name);
      return r;
    }
    if (rest == "@count") {
      r.isCount = true;
      if (r.property->type == PropertyType::StringList) {
        r.countSql = "json_array_length(" + table + "." + sql::quoteIdentifier(r.property->name) + ")";
      } else if (r.property->type == PropertyType::LinkList) {
        r.countSql = "(SELECT COUNT(*) FROM " + sql::quoteIdentifier(linkTableName(cls.className(), head)) +
                     " WHERE owner = " + table + "._id)";
      } else {
        unsupported("@count of '" + head + "', which is no list");
      }
      return r;
    }
    if (r.property->type != PropertyType::LinkList) unsupported("key path '" + keyPath + "'");
    r.link = r.property;
    r.rest = rest;
    return r;
  }

  std::string comparison(const Node& n, const ObjectSchema& cls, const std::string& table) {
    const Expr* key = &n.left;
    const Expr* value = &n.right;
    Op op = n.op;
    bool valueOnLeft = false;
    if (n.left.kind != Expr::Kind::KeyPath) {
      if (n.right.kind != Expr::Kind::KeyPath) unsupported("a comparison of two values");
      std::swap(key, value);
      valueOnLeft = true;
      op = mirroredOperator(op);
    }
    Resolved r = resolve(key->keyPath, cls, table);
    std::string sql;
    if (r.link) {
      sql = throughLink(n, r, *value, op, table);
    } else if (value->kind == Expr::Kind::KeyPath) {
      Resolved other = resolve(value->keyPath, cls, table);
      if (r.isCount || other.isCount || other.link) unsupported("this comparison of two key paths");
      sql = columnAgainstColumn(r.column, other.column, op, n.options);
    } else if (r.isCount) {
      sql = scalarComparison(r.countSql, nullptr, op, 0, value->constant);
    } else if (r.property->type == PropertyType::StringList) {
      sql = listComparison(n, r, *value, op, valueOnLeft);
    } else {
      if (n.quantifier == Node::Quantifier::Any || n.quantifier == Node::Quantifier::All) {
        unsupported("ANY/ALL on '" + r.property->name + "', which is no list");
      }
      sql = scalarComparison(r.column, r.property, op, n.options, value->constant);
    }
    if (n.quantifier == Node::Quantifier::NoneOf) return "(NOT " + sql + ")";
    return sql;
  }

  std::string columnAgainstColumn(const std::string& a, const std::string& b, Op op, int options) {
    if (options) {
      int code = stringOpCode(op);
      if (code < 0 && op != Op::NotEqual) unsupported("options on this operator");
      std::string s = "qb_strop(" + std::to_string(code < 0 ? 0 : code) + ", " + a + ", " + b + ", " +
                      std::to_string(options) + ")";
      return op == Op::NotEqual ? "(NOT " + s + ")" : s;
    }
    switch (op) {
      case Op::Equal: return "(" + a + " IS " + b + ")";
      case Op::NotEqual: return "(" + a + " IS NOT " + b + ")";
      case Op::Less: return "COALESCE(" + a + " < " + b + ", 0)";
      case Op::LessOrEqual: return "COALESCE(" + a + " <= " + b + ", 0)";
      case Op::Greater: return "COALESCE(" + a + " > " + b + ", 0)";
      case Op::GreaterOrEqual: return "COALESCE(" + a + " >= " + b + ", 0)";
      default: {
        int code = stringOpCode(op);
        if (code < 0) unsupported(std::string(predicateOperatorName(op)) + " between two key paths");
        return "qb_strop(" + std::to_string(code) + ", " + a + ", " + b + ", 0)";
      }
    }
  }

  // A column (or computed number) against one value.
  std::string scalarComparison(const std::string& column, const Property* property, Op op, int options,
                               const Value& v) {
    bool isText = !property || property->type == PropertyType::String;
    switch (op) {
      case Op::Equal:
      case Op::NotEqual: {
        std::string s;
        if (v.isNull()) {
          s = "(" + column + " IS NULL)";
        } else if (options && isText) {
          s = "qb_strop(0, " + column + ", " + bind(comparable(v)) + ", " + std::to_string(options) + ")";
        } else {
          s = "(" + column + " IS " + bind(comparable(v)) + ")";
        }
        return op == Op::Equal ? s : "(NOT " + s + ")";
      }
      case Op::Less:
      case Op::LessOrEqual:
      case Op::Greater:
      case Op::GreaterOrEqual: {
        if (v.isNull()) return "0";
        const char* sym = op == Op::Less ? "<" : op == Op::LessOrEqual ? "<=" : op == Op::Greater ? ">" : ">=";
        return "COALESCE(" + column + " " + sym + " " + bind(comparable(v)) + ", 0)";
      }
      case Op::BeginsWith:
      case Op::EndsWith:
      case Op::Contains:
      case Op::Like:
        if (!v.isString()) unsupported(std::string(predicateOperatorName(op)) + " needs a text");
        return "qb_strop(" + std::to_string(stringOpCode(op)) + ", " + column + ", " + bind(v) + ", " +
               std::to_string(options) + ")";
      case Op::In: {
        if (!v.isArray()) unsupported("IN needs a list of values");
        std::string list = bind(Value(jsonArray(v)));
        if (options && isText) {
          return "EXISTS(SELECT 1 FROM json_each(" + list + ") WHERE qb_strop(0, " + column + ", value, " +
                 std::to_string(options) + "))";
        }
        return "COALESCE(" + column + " IN (SELECT value FROM json_each(" + list + ")), 0)";
      }
      case Op::Between: {
        if (!v.isArray() || v.size() != 2) unsupported("BETWEEN needs two values");
        std::string lo = bind(comparable(v[size_t(0)]));
        std::string hi = bind(comparable(v[size_t(1)]));
        return "COALESCE(" + column + " >= " + lo + " AND " + column + " <= " + hi + ", 0)";
      }
      case Op::Matches: unsupported("MATCHES");
    }
    return "0";
  }

  // A list of texts: "ANY tags == x", "tags CONTAINS x" and "x IN tags" test membership.
  std::string listComparison(const Node& n, const Resolved& r, const Expr& value, Op op, bool valueOnLeft) {
    const Value& v = value.constant;
    bool membership = (op == Op::In && valueOnLeft) || (op == Op::Contains && n.quantifier == Node::Quantifier::None);
    if (membership) op = Op::Equal;
    else if (n.quantifier != Node::Quantifier::Any && n.quantifier != Node::Quantifier::NoneOf) {
      unsupported("a comparison with the list '" + r.property->name + "' without ANY");
    }
    if (op == Op::In) {
      if (!v.isArray()) unsupported("IN needs a list of values");
      std::string list = bind(Value(jsonArray(v)));
      return "EXISTS(SELECT 1 FROM json_each(" + r.column + ") AS item, json_each(" + list +
             ") AS j WHERE qb_strop(0, item.value, j.value, " + std::to_string(n.options) + "))";
    }
    int code = stringOpCode(op);
    if (code < 0 || !v.isString()) unsupported("this comparison with the list '" + r.property->name + "'");
    return "qb_list_any(" + r.column + ", " + std::to_string(code) + ", " + bind(v) + ", " +
           std::to_string(n.options) + ")";
  }

  // "ANY links.prop op value" (and "links.prop" alone, read as ANY).
  std::string throughLink(const Node& n, const Resolved& r, const Expr& value, Op op, const std::string& table) {
    if (n.quantifier == Node::Quantifier::All) unsupported("ALL");
    auto target = schema_.find(r.link->objectClass);
    if (!target) unsupported("link to an unknown class");
    std::string alias = "x" + std::to_string(++aliases_);
    std::string links = "l" + std::to_string(aliases_);
    auto inner = std::make_shared<Node>();
    inner->kind = Node::Kind::Comparison;
    inner->left.kind = Expr::Kind::KeyPath;
    inner->left.keyPath = r.rest;
    inner->right = value;
    inner->op = op;
    inner->options = n.options;
    std::string condition = node(*inner, *target, alias);
    return "EXISTS(SELECT 1 FROM " + sql::quoteIdentifier(linkTableName(r.owner->className(), r.link->name)) + " " +
           links + " JOIN " + sql::quoteIdentifier(target->className()) + " " + alias + " ON " + alias +
           "._id = " + links + ".target WHERE " + links + ".owner = " + table + "._id AND " + condition + ")";
  }

  const Schema& schema_;
  SqlCondition& out_;
  int aliases_ = 0;
};

}  // namespace

std::string linkTableName(const std::string& className, const std::string& property) {
  return "__links_" + className + "_" + property;
}

SqlCondition compilePredicate(const PredicateNode& predicate, const Schema& schema, const ObjectSchema& objectSchema,
                              const std::string& table) {
  SqlCondition out;
  Compiler compiler(schema, out);
  out.sql = compiler.node(predicate, objectSchema, table);
  return out;
}

Value storageValue(const Property& p, const Value& v) {
  auto bad = [&]() -> Value {
    throw StoreException(StoreException::Kind::InvalidValue,
                         "Invalid value for property '" + p.name + "' of type " + propertyTypeName(p.type));
  };
  if (v.isNull()) {
    if (p.isList()) return Value("[]");
    return Value();
  }
  switch (p.type) {
    case PropertyType::Bool:
      if (v.isNumber()) return Value(v.asBool() ? 1 : 0);
      return bad();
    case PropertyType::Int:
      if (v.isBool() || v.isInteger()) return Value(static_cast<long long>(v.asInt()));
      if (v.isReal()) return Value(static_cast<long long>(v.asDouble()));
      return bad();
    case PropertyType::Double:
      if (v.isNumber()) return Value(v.asDouble());
      return bad();
    case PropertyType::String:
      if (v.isString()) return v;
      return bad();
    case PropertyType::Date:
      if (auto d = v.datePtr()) return Value(d->seconds);
      if (v.isNumber()) return Value(v.asDouble());
      return bad();
    case PropertyType::Data:
      if (v.isData()) return v;
      if (v.isString()) return Value(dataFromString(*v.stringPtr()));
      return bad();
    case PropertyType::StringList:
      if (v.isArray()) {
        for (const auto& item : *v.arrayPtr()) {
          if (!item.isString()) return bad();
        }
        return v;  // bound as JSON text
      }
      return bad();
    case PropertyType::LinkList:
      return bad();
  }
  return bad();
}

}  // namespace store
