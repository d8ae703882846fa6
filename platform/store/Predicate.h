#pragma once
// Predicate texts in the form the record queries are written ("sourceLocation = %@ AND
// isInstalled = 0", "name contains[cd] %@", "identifier IN %@", "subcategory != nil"),
// parsed into a tree with the arguments already in place. Arguments are values and
// are never pasted into any text: the compiler binds them.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Value.h"

namespace store {

struct PredicateExpression {
  enum class Kind { KeyPath, Constant, Aggregate };
  Kind kind = Kind::Constant;
  std::string keyPath;  // "name", "availableVersions.version", "dependencies.@count"
  Value constant;       // a literal or an argument; an aggregate's items as an array
};

struct PredicateNode {
  enum class Kind { And, Or, Not, True, False, Comparison };
  enum class Op { Equal, NotEqual, Less, LessOrEqual, Greater, GreaterOrEqual, BeginsWith, EndsWith, Contains, Like,
                  Matches, In, Between };
  enum class Quantifier { None, Any, All, NoneOf };

  Kind kind = Kind::True;
  std::vector<std::shared_ptr<const PredicateNode>> children;  // And, Or (two or more), Not (one)
  // Comparison
  PredicateExpression left, right;
  Op op = Op::Equal;
  int options = 0;  // text::FoldFlags
  Quantifier quantifier = Quantifier::None;
};

using PredicateRef = std::shared_ptr<const PredicateNode>;

// Parses a predicate text. "%@" takes the next argument as a value, "%K" as a key path
// (a property name, checked against the schema later), "%d", "%i", "%ld", "%lu",
// "%u", "%f" and the like as a number. Raises StoreException (InvalidPredicate) on a
// syntax error, a missing argument or arguments left over.
PredicateRef parsePredicate(std::string_view text, const std::vector<Value>& arguments = {});

const char* predicateOperatorName(PredicateNode::Op op);

// The operator that says the same with its two sides swapped ("5 < x" is "x > 5").
inline PredicateNode::Op mirroredOperator(PredicateNode::Op op) {
  using Op = PredicateNode::Op;
  switch (op) {
    case Op::Less: return Op::Greater;
    case Op::LessOrEqual: return Op::GreaterOrEqual;
    case Op::Greater: return Op::Less;
    case Op::GreaterOrEqual: return Op::LessOrEqual;
    default: return op;
  }
}

}  // namespace store
