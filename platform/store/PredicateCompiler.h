#pragma once
// Turns a parsed predicate into an SQL condition over one class's table, with every
// value as a bound argument. The null rules are those of the record queries: "= 0"
// does not match a null, "!= 1" does; every comparison is true or false, never null,
// so NOT and OR behave.
#include <string>
#include <vector>

#include "foundation/Value.h"
#include "store/Predicate.h"
#include "store/Schema.h"

namespace store {

struct SqlCondition {
  std::string sql;
  std::vector<Value> arguments;  // in the order of the "?" marks
};

// `table` is the (quoted) name or alias the condition refers to.
SqlCondition compilePredicate(const PredicateNode& predicate, const Schema& schema, const ObjectSchema& objectSchema,
                              const std::string& table);

// Names of the storage for one list of links.
std::string linkTableName(const std::string& className, const std::string& property);

// The value as stored in a column of the property's type (bool as 0/1, date as
// seconds, list as JSON text). Raises InvalidValue for a value of the wrong kind.
Value storageValue(const Property& property, const Value& value);

}  // namespace store
