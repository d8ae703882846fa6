#include <cctype>
#include <cstdlib>

#include "store/Predicate.h"
#include "store/StoreException.h"
#include "store/TextFolding.h"

namespace store {

namespace {

using Node = PredicateNode;
using Expr = PredicateExpression;

struct Token {
  enum class Type { End, Word, String, Number, Format, Symbol };
  Type type = Type::End;
  std::string text;  // word (as written), symbol, string contents, format ("@", "K", "d"...)
  double number = 0;
  bool isInteger = true;
  size_t position = 0;
};

std::string upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class Parser {
 public:
  Parser(std::string_view text, const std::vector<Value>& args) : text_(text), args_(args) { advance(); }

  PredicateRef parse() {
    PredicateRef node = parseOr();
    if (token_.type != Token::Type::End) fail("unexpected '" + token_.text + "'");
    if (nextArgument_ != args_.size()) fail("more arguments than the format uses");
    return node;
  }

 private:
  [[noreturn]] void fail(const std::string& why) const {
    throw StoreException(StoreException::Kind::InvalidPredicate,
                         "Unable to parse the format string \"" + std::string(text_) + "\": " + why + " at " +
                             std::to_string(token_.position));
  }

  bool isWord(const char* keyword) const { return token_.type == Token::Type::Word && upper(token_.text) == keyword; }
  bool isSymbol(const char* s) const { return token_.type == Token::Type::Symbol && token_.text == s; }

  void advance() {
    const std::string_view s = text_;
    while (pos_ < s.size() && std::isspace(static_cast<unsigned char>(s[pos_]))) ++pos_;
    token_ = Token{};
    token_.position = pos_;
    if (pos_ >= s.size()) return;
    char c = s[pos_];
    if (std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '$' || c == '@') {
      size_t start = pos_;
      while (pos_ < s.size() && (std::isalnum(static_cast<unsigned char>(s[pos_])) || s[pos_] == '_' ||
                                 s[pos_] == '$' || s[pos_] == '.' || s[pos_] == '@')) {
        ++pos_;
      }
      token_.type = Token::Type::Word;
      token_.text = std::string(s.substr(start, pos_ - start));
      return;
    }
    if (std::isdigit(static_cast<unsigned char>(c)) ||
        ((c == '-' || c == '+') && pos_ + 1 < s.size() && std::isdigit(static_cast<unsigned char>(s[pos_ + 1])))) {
      size_t start = pos_;
      ++pos_;
      bool integer = true;
      while (pos_ < s.size()) {
        char d = s[pos_];
        if (std::isdigit(static_cast<unsigned char>(d))) {
          ++pos_;
        } else if (d == '.' || d == 'e' || d == 'E') {
          integer = false;
          ++pos_;
          if ((d == 'e' || d == 'E') && pos_ < s.size() && (s[pos_] == '-' || s[pos_] == '+')) ++pos_;
        } else {
          break;
        }
      }
      token_.type = Token::Type::Number;
      token_.text = std::string(s.substr(start, pos_ - start));
      token_.isInteger = integer;
      token_.number = std::strtod(token_.text.c_str(), nullptr);
      return;
    }
    if (c == '\'' || c == '"') {
      ++pos_;
      std::string out;
      while (pos_ < s.size() && s[pos_] != c) {
        if (s[pos_] == '\\' && pos_ + 1 < s.size()) {
          char e = s[pos_ + 1];
          out.push_back(e == 'n' ? '\n' : e == 't' ? '\t' : e == 'r' ? '\r' : e);
          pos_ += 2;
        } else {
          out.push_back(s[pos_++]);
        }
      }
      if (pos_ >= s.size()) fail("unterminated string");
      ++pos_;
      token_.type = Token::Type::String;
      token_.text = std::move(out);
      return;
    }
    if (c == '%') {
      ++pos_;
      size_t start = pos_;
      while (pos_ < s.size() && (s[pos_] == 'l' || s[pos_] == 'h' || s[pos_] == 'q' || s[pos_] == 'z')) ++pos_;
      if (pos_ >= s.size()) fail("format ends after %");
      ++pos_;
      token_.type = Token::Type::Format;
      token_.text = std::string(s.substr(start, pos_ - start));
      return;
    }
    static const char* symbols[] = {"==", "!=", "<>", "<=", "=<", ">=", "=>", "&&", "||", "=", "<", ">",
                                    "!", "(", ")", "{", "}", ",", "["};
    for (const char* sym : symbols) {
      size_t n = std::char_traits<char>::length(sym);
      if (s.substr(pos_, n) == sym) {
        pos_ += n;
        token_.type = Token::Type::Symbol;
        token_.text = sym;
        return;
      }
    }
    fail(std::string("unexpected character '") + c + "'");
  }

  const Value& takeArgument() {
    if (nextArgument_ >= args_.size()) fail("too few arguments");
    return args_[nextArgument_++];
  }

  PredicateRef combine(Node::Kind kind, std::vector<PredicateRef> parts) {
    if (parts.size() == 1) return parts.front();
    auto node = std::make_shared<Node>();
    node->kind = kind;
    node->children = std::move(parts);
    return node;
  }

  PredicateRef parseOr() {
    std::vector<PredicateRef> parts{parseAnd()};
    while (isWord("OR") || isSymbol("||")) {
      advance();
      parts.push_back(parseAnd());
    }
    return combine(Node::Kind::Or, std::move(parts));
  }

  PredicateRef parseAnd() {
    std::vector<PredicateRef> parts{parseNot()};
    while (isWord("AND") || isSymbol("&&")) {
      advance();
      parts.push_back(parseNot());
    }
    return combine(Node::Kind::And, std::move(parts));
  }

  // Counts how deep the parser has descended; a text nested beyond any the system writes
  // is refused before the recursion could exhaust the stack.
  struct Nesting {
    explicit Nesting(Parser& p) : parser(p) {
      if (++parser.depth_ > kMaxNesting) parser.fail("nested more than " + std::to_string(kMaxNesting) + " deep");
    }
    ~Nesting() { --parser.depth_; }
    Parser& parser;
  };
  static constexpr int kMaxNesting = 200;

  PredicateRef parseNot() {
    if (isWord("NOT") || isSymbol("!")) {
      Nesting nesting(*this);
      advance();
      auto node = std::make_shared<Node>();
      node->kind = Node::Kind::Not;
      node->children.push_back(parseNot());
      return node;
    }
    return parsePrimary();
  }

  PredicateRef parsePrimary() {
    if (isSymbol("(")) {
      Nesting nesting(*this);
      advance();
      PredicateRef inner = parseOr();
      if (!isSymbol(")")) fail("expected ')'");
      advance();
      return inner;
    }
    if (isWord("TRUEPREDICATE") || isWord("FALSEPREDICATE")) {
      auto node = std::make_shared<Node>();
      node->kind = isWord("TRUEPREDICATE") ? Node::Kind::True : Node::Kind::False;
      advance();
      return node;
    }
    return parseComparison();
  }

  PredicateRef parseComparison() {
    auto node = std::make_shared<Node>();
    node->kind = Node::Kind::Comparison;
    if (isWord("ANY") || isWord("SOME")) node->quantifier = Node::Quantifier::Any;
    else if (isWord("ALL")) node->quantifier = Node::Quantifier::All;
    else if (isWord("NONE")) node->quantifier = Node::Quantifier::NoneOf;
    if (node->quantifier != Node::Quantifier::None) advance();
    node->left = parseExpression();
    parseOperator(*node);
    node->right = parseExpression();
    return node;
  }

  void parseOperator(Node& node) {
    using Op = Node::Op;
    bool negate = false;
    if (isWord("NOT")) {  // "a NOT IN b", "a NOT CONTAINS b"
      negate = true;
      advance();
    }
    Op op;
    if (isSymbol("=") || isSymbol("==")) op = Op::Equal;
    else if (isSymbol("!=") || isSymbol("<>")) op = Op::NotEqual;
    else if (isSymbol("<")) op = Op::Less;
    else if (isSymbol("<=") || isSymbol("=<")) op = Op::LessOrEqual;
    else if (isSymbol(">")) op = Op::Greater;
    else if (isSymbol(">=") || isSymbol("=>")) op = Op::GreaterOrEqual;
    else if (isWord("BEGINSWITH")) op = Op::BeginsWith;
    else if (isWord("ENDSWITH")) op = Op::EndsWith;
    else if (isWord("CONTAINS")) op = Op::Contains;
    else if (isWord("LIKE")) op = Op::Like;
    else if (isWord("MATCHES")) op = Op::Matches;
    else if (isWord("IN")) op = Op::In;
    else if (isWord("BETWEEN")) op = Op::Between;
    else fail("expected a comparison operator");
    node.op = op;
    // Options directly after the operator: [c], [d], [cd], [n] (ignored).
    if (pos_ < text_.size() && text_[pos_] == '[') {
      size_t close = text_.find(']', pos_);
      if (close == std::string_view::npos) fail("unterminated options");
      for (char c : text_.substr(pos_ + 1, close - pos_ - 1)) {
        char l = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (l == 'c') node.options |= text::kCaseInsensitive;
        else if (l == 'd') node.options |= text::kDiacriticInsensitive;
        else if (l != 'n' && l != 'l') fail("unknown option");
      }
      pos_ = close + 1;
    }
    advance();
    if (negate) {
      if (op == Op::Equal) node.op = Op::NotEqual;
      else if (node.quantifier == Node::Quantifier::None) node.quantifier = Node::Quantifier::NoneOf;
      else fail("NOT before this operator");
    }
  }

  Expr constant(Value v) {
    Expr e;
    e.kind = Expr::Kind::Constant;
    e.constant = std::move(v);
    return e;
  }

  Expr parseExpression() {
    if (token_.type == Token::Type::Word) {
      std::string u = upper(token_.text);
      Expr e;
      if (u == "NIL" || u == "NULL") e = constant(Value());
      else if (u == "YES" || u == "TRUE") e = constant(Value(true));
      else if (u == "NO" || u == "FALSE") e = constant(Value(false));
      else {
        static const char* reserved[] = {"AND", "OR", "NOT", "IN", "CONTAINS", "BEGINSWITH", "ENDSWITH", "LIKE",
                                         "MATCHES", "BETWEEN", "ANY", "SOME", "ALL", "NONE"};
        for (const char* r : reserved) {
          if (u == r) fail("expected a key path or a value");
        }
        e.kind = Expr::Kind::KeyPath;
        e.keyPath = token_.text;
      }
      advance();
      return e;
    }
    if (token_.type == Token::Type::String) {
      Expr e = constant(Value(token_.text));
      advance();
      return e;
    }
    if (token_.type == Token::Type::Number) {
      Expr e = token_.isInteger ? constant(Value(static_cast<long long>(std::strtoll(token_.text.c_str(), nullptr, 10))))
                                : constant(Value(token_.number));
      advance();
      return e;
    }
    if (token_.type == Token::Type::Format) {
      char kind = token_.text.back();
      Expr e;
      const Value& arg = takeArgument();
      if (kind == 'K') {
        if (!arg.isString() || arg.asString().empty()) fail("%K needs a property name");
        e.kind = Expr::Kind::KeyPath;
        e.keyPath = arg.asString();
      } else if (kind == '@') {
        e = constant(arg);
      } else if (std::string_view("diuxXoc").find(kind) != std::string_view::npos) {
        if (!arg.isNumber()) fail("%" + token_.text + " needs a number");
        e = constant(arg.isBool() ? Value(arg.asBool() ? 1 : 0) : Value(static_cast<long long>(arg.asInt())));
      } else if (std::string_view("feEgG").find(kind) != std::string_view::npos) {
        if (!arg.isNumber()) fail("%" + token_.text + " needs a number");
        e = constant(Value(arg.asDouble()));
      } else {
        fail("unsupported format %" + token_.text);
      }
      advance();
      return e;
    }
    if (isSymbol("{")) {
      Nesting nesting(*this);
      advance();
      Value::Array items;
      while (!isSymbol("}")) {
        Expr item = parseExpression();
        if (item.kind != Expr::Kind::Constant) fail("an aggregate holds values only");
        items.push_back(item.constant);
        if (isSymbol(",")) advance();
        else if (!isSymbol("}")) fail("expected ',' or '}'");
      }
      advance();
      Expr e = constant(Value(std::move(items)));
      e.kind = Expr::Kind::Aggregate;
      return e;
    }
    fail("expected a key path or a value");
  }

  std::string_view text_;
  const std::vector<Value>& args_;
  size_t pos_ = 0;
  size_t nextArgument_ = 0;
  int depth_ = 0;
  Token token_;
};

}  // namespace

PredicateRef parsePredicate(std::string_view text, const std::vector<Value>& arguments) {
  return Parser(text, arguments).parse();
}

const char* predicateOperatorName(PredicateNode::Op op) {
  using Op = PredicateNode::Op;
  switch (op) {
    case Op::Equal: return "==";
    case Op::NotEqual: return "!=";
    case Op::Less: return "<";
    case Op::LessOrEqual: return "<=";
    case Op::Greater: return ">";
    case Op::GreaterOrEqual: return ">=";
    case Op::BeginsWith: return "BEGINSWITH";
    case Op::EndsWith: return "ENDSWITH";
    case Op::Contains: return "CONTAINS";
    case Op::Like: return "LIKE";
    case Op::Matches: return "MATCHES";
    case Op::In: return "IN";
    case Op::Between: return "BETWEEN";
  }
  return "?";
}

}  // namespace store
