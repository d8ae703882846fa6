#include "foundation/Value.h"

#include "foundation/Files.h"

#include <charconv>
#include <cmath>
#include <cstdlib>

namespace {
bool parseNumberPrefix(const std::string& s, double& out) {
  // Like NSString's doubleValue: leading blanks, then as much of a number as there is,
  // always with "." as the decimal point whatever the process's C locale says.
  const char* begin = s.c_str();
  const char* end = begin + s.size();
  while (begin < end && (*begin == ' ' || *begin == '\t' || *begin == '\n')) ++begin;
  if (begin < end && *begin == '+' && !(begin + 1 < end && begin[1] == '-')) ++begin;
  double d = 0;
  auto result = std::from_chars(begin, end, d);
  if (result.ec == std::errc::invalid_argument) return false;
  if (result.ec == std::errc::result_out_of_range) {
    // Past the range of a double: infinity, or zero for a tiny one, as strtod gives.
    std::string_view text(begin, static_cast<size_t>(result.ptr - begin));
    size_t e = text.find_first_of("eE");
    bool tiny = e != std::string_view::npos && e + 1 < text.size() && text[e + 1] == '-';
    d = tiny ? 0.0 : (text.front() == '-' ? -HUGE_VAL : HUGE_VAL);
  }
  out = d;
  return true;
}
}  // namespace

Value::Value(unsigned long long i) {
  if (i > static_cast<unsigned long long>(INT64_MAX)) v_ = static_cast<uint64_t>(i);
  else v_ = static_cast<int64_t>(i);
}

Value Value::dict(std::initializer_list<std::pair<const std::string, Value>> items) {
  return Value(Dictionary(items));
}

Value Value::array(std::initializer_list<Value> items) { return Value(Array(items)); }

const Value& Value::null() {
  static const Value n;
  return n;
}

bool Value::asBool(bool fallback) const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_);
    case Type::Integer: return isUnsigned() || std::get<int64_t>(v_) != 0;
    case Type::Real: return std::get<double>(v_) != 0;
    case Type::String: {
      // NSString boolValue: YES on a leading Y, y, T, t or a non-zero digit.
      const std::string& s = std::get<std::string>(v_);
      size_t i = s.find_first_not_of(" \t\n");
      if (i == std::string::npos) return false;
      size_t j = i;
      if (s[j] == '+' || s[j] == '-') ++j;
      while (j < s.size() && s[j] == '0') ++j;
      if (j < s.size() && s[j] >= '1' && s[j] <= '9') return true;
      char c = s[i];
      return c == 'Y' || c == 'y' || c == 'T' || c == 't';
    }
    default: return fallback;
  }
}

int64_t Value::asInt(int64_t fallback) const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer: return isUnsigned() ? INT64_MAX : std::get<int64_t>(v_);
    case Type::Real: {
      double d = std::get<double>(v_);
      if (std::isnan(d)) return 0;
      if (d >= 9.2e18) return INT64_MAX;
      if (d <= -9.2e18) return INT64_MIN;
      return static_cast<int64_t>(d);
    }
    case Type::String: {
      const std::string& s = std::get<std::string>(v_);
      const char* begin = s.c_str();
      char* end = nullptr;
      long long v = std::strtoll(begin, &end, 10);
      return end == begin ? 0 : v;
    }
    default: return fallback;
  }
}

uint64_t Value::asUnsigned(uint64_t fallback) const {
  if (isUnsigned()) return std::get<uint64_t>(v_);
  return static_cast<uint64_t>(asInt(static_cast<int64_t>(fallback)));
}

double Value::asDouble(double fallback) const {
  switch (type()) {
    case Type::Bool: return std::get<bool>(v_) ? 1 : 0;
    case Type::Integer:
      return isUnsigned() ? static_cast<double>(std::get<uint64_t>(v_)) : static_cast<double>(std::get<int64_t>(v_));
    case Type::Real: return std::get<double>(v_);
    case Type::String: {
      double d = 0;
      return parseNumberPrefix(std::get<std::string>(v_), d) ? d : 0;
    }
    default: return fallback;
  }
}

std::string Value::asString(const std::string& fallback) const {
  switch (type()) {
    case Type::String: return std::get<std::string>(v_);
    case Type::Bool: return std::get<bool>(v_) ? "1" : "0";
    case Type::Integer: return isUnsigned() ? std::to_string(std::get<uint64_t>(v_)) : std::to_string(std::get<int64_t>(v_));
    case Type::Real: {
      double d = std::get<double>(v_);
      if (d == std::floor(d) && std::fabs(d) < 1e15) return std::to_string(static_cast<int64_t>(d));
      char buf[64];
      auto result = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, 15);
      return std::string(buf, result.ptr);
    }
    default: return fallback;
  }
}

std::optional<std::string> Value::optString() const {
  if (auto s = stringPtr()) return *s;
  return std::nullopt;
}

const Value& Value::operator[](const std::string& key) const {
  if (auto d = dictionaryPtr()) {
    auto it = d->find(key);
    if (it != d->end()) return it->second;
  }
  return null();
}

const Value& Value::operator[](size_t index) const {
  if (auto a = arrayPtr()) {
    if (index < a->size()) return (*a)[index];
  }
  return null();
}

Value& Value::set(const std::string& key, Value value) {
  if (!isDictionary()) v_ = Dictionary{};
  auto& d = std::get<Dictionary>(v_);
  d[key] = std::move(value);
  return *this;
}

bool Value::contains(const std::string& key) const {
  auto d = dictionaryPtr();
  return d && d->count(key) > 0;
}

bool Value::erase(const std::string& key) {
  auto d = dictionaryPtr();
  return d && d->erase(key) > 0;
}

void Value::push_back(Value value) {
  if (!isArray()) v_ = Array{};
  std::get<Array>(v_).push_back(std::move(value));
}

size_t Value::size() const {
  if (auto a = arrayPtr()) return a->size();
  if (auto d = dictionaryPtr()) return d->size();
  return 0;
}

std::vector<std::string> Value::keys() const {
  std::vector<std::string> out;
  if (auto d = dictionaryPtr())
    for (auto& [k, _] : *d) out.push_back(k);
  return out;
}

bool Value::operator==(const Value& other) const {
  // Numbers compare by value across their kinds, as NSNumber does.
  if (isNumber() && other.isNumber()) {
    if (isReal() || other.isReal()) return asDouble() == other.asDouble();
    // An unsigned integer beyond the signed range equals only the same one.
    if (isUnsigned() || other.isUnsigned()) return isUnsigned() == other.isUnsigned() && asUnsigned() == other.asUnsigned();
    return asInt() == other.asInt();
  }
  return v_ == other.v_;
}

Data dataFromString(std::string_view s) { return Data(s.begin(), s.end()); }
std::string stringFromData(const Data& d) { return std::string(d.begin(), d.end()); }

std::optional<Value> Value::fromPropertyListFile(const std::string& path, std::string* error) {
  auto bytes = Files::read(path);
  if (!bytes) {
    if (error) *error = "cannot read " + path;
    return std::nullopt;
  }
  return fromPropertyList(*bytes, error);
}
