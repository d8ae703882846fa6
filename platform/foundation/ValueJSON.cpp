// JSON reading and writing of Value through nlohmann-json.
#include <cmath>
#include <ctime>
#include <nlohmann/json.hpp>

#include "foundation/Base64.h"
#include "foundation/Value.h"

namespace {
using json = nlohmann::json;

// Deeper nesting than any real document has is refused: the conversion recurses, and
// a hostile reply of a few hundred kilobytes of "[" must not exhaust the stack.
constexpr int kMaxDepth = 512;

Value fromJson(const json& j, int depth, bool& ok) {
  if (depth > kMaxDepth) {
    ok = false;
    return Value();
  }
  switch (j.type()) {
    case json::value_t::null: return Value();
    case json::value_t::boolean: return Value(j.get<bool>());
    case json::value_t::number_integer: return Value(j.get<int64_t>());
    case json::value_t::number_unsigned: {
      uint64_t u = j.get<uint64_t>();
      if (u > static_cast<uint64_t>(INT64_MAX)) return Value(static_cast<double>(u));
      return Value(static_cast<int64_t>(u));
    }
    case json::value_t::number_float: return Value(j.get<double>());
    case json::value_t::string: return Value(j.get<std::string>());
    case json::value_t::array: {
      Value::Array a;
      a.reserve(j.size());
      for (const auto& e : j) a.push_back(fromJson(e, depth + 1, ok));
      return Value(std::move(a));
    }
    case json::value_t::object: {
      Value::Dictionary d;
      for (auto it = j.begin(); it != j.end(); ++it) d.emplace(it.key(), fromJson(it.value(), depth + 1, ok));
      return Value(std::move(d));
    }
    default: return Value();
  }
}

std::string isoDate(const Date& d) {
  time_t t = static_cast<time_t>(std::floor(d.unixSeconds()));
  struct tm tm;
  gmtime_r(&t, &tm);
  char buf[32];
  strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return buf;
}

json toJson(const Value& v) {
  switch (v.type()) {
    case Value::Type::Null: return nullptr;
    case Value::Type::Bool: return v.asBool();
    case Value::Type::Integer: return v.isUnsigned() ? json(v.asUnsigned()) : json(v.asInt());
    case Value::Type::Real: {
      double d = v.asDouble();
      return std::isfinite(d) ? json(d) : json(nullptr);
    }
    case Value::Type::String: return *v.stringPtr();
    case Value::Type::Data: return Base64::encode(*v.dataPtr());
    case Value::Type::Date: return isoDate(*v.datePtr());
    case Value::Type::Array: {
      json a = json::array();
      for (const auto& e : *v.arrayPtr()) a.push_back(toJson(e));
      return a;
    }
    case Value::Type::Dictionary: {
      json o = json::object();
      for (const auto& [k, e] : *v.dictionaryPtr()) o[k] = toJson(e);
      return o;
    }
  }
  return nullptr;
}
}  // namespace

std::optional<Value> Value::fromJSON(std::string_view text, std::string* error) {
  json j = json::parse(text.begin(), text.end(), nullptr, false);
  if (j.is_discarded()) {
    if (error) *error = "The data couldn't be read because it isn't in the correct format.";
    return std::nullopt;
  }
  bool ok = true;
  Value v = fromJson(j, 0, ok);
  if (!ok) {
    if (error) *error = "The data couldn't be read because it is nested too deeply.";
    return std::nullopt;
  }
  return v;
}

std::optional<Value> Value::fromJSON(const Data& bytes, std::string* error) {
  return fromJSON(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), error);
}

std::string Value::toJSON(bool pretty) const {
  // Invalid UTF-8 in a text is replaced rather than thrown on.
  return toJson(*this).dump(pretty ? 2 : -1, ' ', false, json::error_handler_t::replace);
}
