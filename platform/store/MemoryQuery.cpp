// Queries answered from the columns held in memory: the predicate compiled against the
// held columns with the semantics the file's SQL gives it (PredicateCompiler.cpp), the
// rows in the query's order, distinct values, and the values asked for.
#include <algorithm>
#include <unordered_set>

#include "store/MemoryColumnsRows.h"
#include "store/Predicate.h"
#include "store/TextFolding.h"

namespace store {

namespace {

using Op = PredicateNode::Op;

// The text operators of qb_strop, on texts already folded as asked.
bool textOp(Op op, std::string_view text, std::string_view operand) {
  switch (op) {
    case Op::Equal:
    case Op::NotEqual: return text == operand;
    case Op::Contains: return text::contains(text, operand);
    case Op::BeginsWith: return text::beginsWith(text, operand);
    case Op::EndsWith: return text::endsWith(text, operand);
    case Op::Like: return text::like(text, operand);
    default: return false;
  }
}

}  // namespace

class MemoryColumns::Query {
 public:
  explicit Query(const MemoryColumns& memory) : memory_(memory), rows_(*memory.rows_) {}

  // False when a part of the predicate is not answered here.
  bool compile(const std::vector<PredicateRef>& predicates) {
    root_.kind = Node::And;
    for (const auto& p : predicates) {
      Node node;
      if (!compileNode(*p, node)) return false;
      root_.children.push_back(std::move(node));
    }
    return true;
  }

  bool matches(size_t row) const { return eval(root_, row); }

 private:
  struct Node {
    enum Kind { And, Or, Not, True, False, TextLeaf, NumberLeaf } kind = True;
    std::vector<Node> children;
    size_t column = 0;
    std::vector<uint8_t> byCode;  // TextLeaf: the answer for each code (0: none)
    Op op = Op::Equal;
    bool constantNull = false;
    int64_t constant = 0;
  };

  bool compileNode(const PredicateNode& n, Node& out) {
    switch (n.kind) {
      case PredicateNode::Kind::True: out.kind = Node::True; return true;
      case PredicateNode::Kind::False: out.kind = Node::False; return true;
      case PredicateNode::Kind::Not:
      case PredicateNode::Kind::And:
      case PredicateNode::Kind::Or:
        out.kind = n.kind == PredicateNode::Kind::Not ? Node::Not : n.kind == PredicateNode::Kind::And ? Node::And : Node::Or;
        for (const auto& child : n.children) {
          Node c;
          if (!compileNode(*child, c)) return false;
          out.children.push_back(std::move(c));
        }
        return true;
      case PredicateNode::Kind::Comparison: break;
    }
    const PredicateExpression* key = &n.left;
    const PredicateExpression* value = &n.right;
    Op op = n.op;
    if (key->kind != PredicateExpression::Kind::KeyPath) {
      std::swap(key, value);
      op = mirroredOperator(op);
    }
    if (key->kind != PredicateExpression::Kind::KeyPath || value->kind == PredicateExpression::Kind::KeyPath) return false;
    if (n.quantifier == PredicateNode::Quantifier::Any || n.quantifier == PredicateNode::Quantifier::All) return false;
    const int column = memory_.columnIndexOf(memory_.info_.schema->find(key->keyPath));
    if (column < 0) return false;
    Node leaf;
    leaf.column = static_cast<size_t>(column);
    leaf.op = op;
    const bool ok = rows_.columns[leaf.column].text ? compileText(leaf, op, n.options, value->constant)
                                                    : compileNumber(leaf, op, value->constant);
    if (!ok) return false;
    if (n.quantifier == PredicateNode::Quantifier::NoneOf) {
      out.kind = Node::Not;
      out.children.push_back(std::move(leaf));
    } else {
      out = std::move(leaf);
    }
    return true;
  }

  // As the compiler writes it: "(col IS ?)" and "(col IS NULL)" for equality without
  // options, qb_strop (false on none) for the options and the other text operators,
  // membership in a list of texts.
  bool compileText(Node& leaf, Op op, int options, const Value& v) {
    leaf.kind = Node::TextLeaf;
    const Column& column = rows_.columns[leaf.column];
    const size_t codes = column.texts.size();
    leaf.byCode.assign(codes + 1, 0);
    const bool negate = op == Op::NotEqual;
    if (op == Op::Equal || op == Op::NotEqual) {
      if (v.isNull()) {
        leaf.byCode[0] = 1;
      } else {
        if (!v.isString() || !fill(leaf, column, Op::Equal, options, *v.stringPtr())) return false;
      }
      if (negate)
        for (auto& m : leaf.byCode) m = !m;
      return true;
    }
    if (op == Op::BeginsWith || op == Op::EndsWith || op == Op::Contains || op == Op::Like)
      return v.isString() && fill(leaf, column, op, options, *v.stringPtr());
    if (op == Op::In) {
      if (!v.isArray()) return false;
      std::vector<std::string> items;
      for (const auto& item : *v.arrayPtr()) {
        if (!item.isString()) return false;
        items.push_back(options ? text::fold(*item.stringPtr(), options) : *item.stringPtr());
      }
      const std::unordered_set<std::string_view> wanted(items.begin(), items.end());
      const Folded* folded = options ? memory_.foldedOf(leaf.column, options) : nullptr;
      if (options && !folded) return false;
      for (uint32_t code = 1; code <= codes; ++code)
        leaf.byCode[code] = wanted.count(folded ? folded->text(column.texts, code) : column.texts.text(code)) ? 1 : 0;
      return true;
    }
    return false;
  }

  // False when the column's folded texts cannot be held.
  bool fill(Node& leaf, const Column& column, Op op, int options, const std::string& operand) {
    const std::string wanted = options ? text::fold(operand, options) : operand;
    const Folded* folded = options ? memory_.foldedOf(leaf.column, options) : nullptr;
    if (options && !folded) return false;
    for (uint32_t code = 1; code < leaf.byCode.size(); ++code)
      leaf.byCode[code] = textOp(op, folded ? folded->text(column.texts, code) : column.texts.text(code), wanted);
    return true;
  }

  // "(col IS ?)" and "COALESCE(col < ?, 0)" with an integer (a flag as 0 or 1).
  bool compileNumber(Node& leaf, Op op, const Value& v) {
    leaf.kind = Node::NumberLeaf;
    if (v.isNull()) leaf.constantNull = true;
    else if (v.isBool()) leaf.constant = v.asBool() ? 1 : 0;
    else if (v.isInteger()) leaf.constant = v.asInt();
    else return false;
    switch (op) {
      case Op::Equal:
      case Op::NotEqual:
      case Op::Less:
      case Op::LessOrEqual:
      case Op::Greater:
      case Op::GreaterOrEqual: return true;
      default: return false;
    }
  }

  bool eval(const Node& n, size_t row) const {
    switch (n.kind) {
      case Node::True: return true;
      case Node::False: return false;
      case Node::Not: return !eval(n.children.front(), row);
      case Node::And:
        for (const auto& c : n.children)
          if (!eval(c, row)) return false;
        return true;
      case Node::Or:
        for (const auto& c : n.children)
          if (eval(c, row)) return true;
        return false;
      case Node::TextLeaf: return n.byCode[rows_.columns[n.column].codes[row]];
      case Node::NumberLeaf: {
        const Column& c = rows_.columns[n.column];
        const bool null = c.isNull(row);
        const int64_t x = c.number(row);
        switch (n.op) {
          case Op::Equal: return n.constantNull ? null : !null && x == n.constant;
          case Op::NotEqual: return n.constantNull ? !null : null || x != n.constant;
          case Op::Less: return !n.constantNull && !null && x < n.constant;
          case Op::LessOrEqual: return !n.constantNull && !null && x <= n.constant;
          case Op::Greater: return !n.constantNull && !null && x > n.constant;
          case Op::GreaterOrEqual: return !n.constantNull && !null && x >= n.constant;
          default: return false;
        }
      }
    }
    return false;
  }

  const MemoryColumns& memory_;
  const Rows& rows_;
  Node root_;
};

bool MemoryColumns::evaluate(const Results::Query& query, const std::vector<const Property*>& columns,
                             std::vector<int64_t>& ids, std::vector<std::vector<Value>>* values) const {
  std::vector<size_t> wanted;
  for (const Property* p : columns) {
    int column = columnIndexOf(p);
    if (column < 0) return false;
    wanted.push_back(static_cast<size_t>(column));
  }
  struct Key {
    size_t column;
    bool ascending;
  };
  std::vector<Key> sorts;  // the main order first
  for (auto it = query.sorts.rbegin(); it != query.sorts.rend(); ++it) {
    int column = columnIndexOf(info_.schema->find(it->keyPath));
    if (column < 0) return false;
    sorts.push_back({static_cast<size_t>(column), it->ascending});
  }
  std::vector<size_t> distinct;
  for (const auto& key : query.distinct) {
    int column = columnIndexOf(info_.schema->find(key));
    if (column < 0) return false;
    distinct.push_back(static_cast<size_t>(column));
  }

  std::shared_lock lock(mutex_);
  if (!current()) return false;
  Query compiled(*this);
  if (!compiled.compile(query.predicates)) return false;
  const Rows& rows = *rows_;

  std::vector<uint32_t> chosen;
  if (sorts.size() == 1) {
    for (uint32_t row : orderBy(sorts[0].column, sorts[0].ascending))
      if (compiled.matches(row)) chosen.push_back(row);
  } else {
    for (uint32_t row = 0; row < rows.size(); ++row)
      if (compiled.matches(row)) chosen.push_back(row);
    if (!sorts.empty()) {
      // Each key as a number that orders as the file orders the column: a text's rank,
      // a number's value; none first.
      std::vector<const std::vector<uint32_t>*> ranks;
      for (const Key& k : sorts) ranks.push_back(rows.columns[k.column].text ? &ranksOf(k.column) : nullptr);
      // The keys after the first `from`, then the row ids.
      auto laterKeys = [&](uint32_t a, uint32_t b, size_t from) {
        for (size_t s = from; s < sorts.size(); ++s) {
          const Column& c = rows.columns[sorts[s].column];
          int order = 0;
          if (c.text) {
            uint32_t ra = (*ranks[s])[c.codes[a]], rb = (*ranks[s])[c.codes[b]];
            order = ra < rb ? -1 : ra > rb ? 1 : 0;
          } else if (c.isNull(a) != c.isNull(b)) {
            order = c.isNull(a) ? -1 : 1;
          } else if (!c.isNull(a) && c.number(a) != c.number(b)) {
            order = c.number(a) < c.number(b) ? -1 : 1;
          }
          if (order) return sorts[s].ascending ? order < 0 : order > 0;
        }
        return rows.ids[a] < rows.ids[b];
      };
      const Column& main = rows.columns[sorts[0].column];
      if (main.text) {
        // The main key's rank beside each row: most comparisons end there, without
        // reaching into the columns.
        const std::vector<uint32_t>& rank = *ranks[0];
        const bool ascending = sorts[0].ascending;
        std::vector<std::pair<uint32_t, uint32_t>> keyed(chosen.size());
        for (size_t i = 0; i < chosen.size(); ++i) keyed[i] = {rank[main.codes[chosen[i]]], chosen[i]};
        std::sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
          if (a.first != b.first) return ascending ? a.first < b.first : a.first > b.first;
          return laterKeys(a.second, b.second, 1);
        });
        for (size_t i = 0; i < chosen.size(); ++i) chosen[i] = keyed[i].second;
      } else {
        std::sort(chosen.begin(), chosen.end(), [&](uint32_t a, uint32_t b) { return laterKeys(a, b, 0); });
      }
    }
  }
  if (!distinct.empty()) {
    // The first row of each distinct combination, in the result's order.
    std::unordered_set<std::string> seen;
    std::vector<uint32_t> kept;
    for (uint32_t row : chosen) {
      std::string key;
      for (size_t column : distinct) {
        const Column& c = rows.columns[column];
        if (c.text) {
          key += c.codes[row] ? "s" : "n";
          key += rows.textAt(column, row);
        } else {
          key += c.isNull(row) ? "n" : "i" + std::to_string(c.number(row));
        }
        key.push_back('\0');
      }
      if (seen.insert(std::move(key)).second) kept.push_back(row);
    }
    chosen.swap(kept);
  }
  ids.clear();
  ids.reserve(chosen.size());
  for (uint32_t row : chosen) ids.push_back(rows.ids[row]);
  if (values) {
    values->assign(wanted.size(), {});
    for (size_t k = 0; k < wanted.size(); ++k) {
      (*values)[k].reserve(chosen.size());
      for (uint32_t row : chosen) (*values)[k].push_back(rows.valueAt(wanted[k], row));
    }
  }
  return true;
}

}  // namespace store
