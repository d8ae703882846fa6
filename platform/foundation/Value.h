#pragma once
// The dynamic value that stands in for the platform's property-list and JSON objects
// (NSNull, NSNumber, NSString, NSData, NSDate, NSArray, NSDictionary).
#include <cstdint>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "foundation/Date.h"

using Data = std::vector<uint8_t>;

class Value {
 public:
  enum class Type { Null, Bool, Integer, Real, String, Data, Date, Array, Dictionary };
  using Array = std::vector<Value>;
  using Dictionary = std::map<std::string, Value>;

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : v_(b) {}
  Value(int i) : v_(static_cast<int64_t>(i)) {}
  Value(long i) : v_(static_cast<int64_t>(i)) {}
  Value(long long i) : v_(static_cast<int64_t>(i)) {}
  Value(unsigned i) : v_(static_cast<int64_t>(i)) {}
  // An unsigned integer of 2^63 or more is kept as it is, not turned negative.
  Value(unsigned long i) : Value(static_cast<unsigned long long>(i)) {}
  Value(unsigned long long i);
  Value(double d) : v_(d) {}
  Value(const char* s) : v_(std::string(s ? s : "")) {}
  Value(std::string s) : v_(std::move(s)) {}
  Value(std::string_view s) : v_(std::string(s)) {}
  Value(Data d) : v_(std::move(d)) {}
  Value(Date d) : v_(d) {}
  Value(Array a) : v_(std::move(a)) {}
  Value(Dictionary d) : v_(std::move(d)) {}
  // Builds a dictionary: Value::dict({{"key", 1}, {"other", "text"}}).
  static Value dict(std::initializer_list<std::pair<const std::string, Value>> items = {});
  static Value array(std::initializer_list<Value> items = {});

  Type type() const { return v_.index() == kUnsignedIndex ? Type::Integer : static_cast<Type>(v_.index()); }
  bool isNull() const { return type() == Type::Null; }
  bool isBool() const { return type() == Type::Bool; }
  bool isInteger() const { return type() == Type::Integer; }
  // An integer of 2^63 or more, which only an unsigned reading gives exactly.
  bool isUnsigned() const { return v_.index() == kUnsignedIndex; }
  bool isReal() const { return type() == Type::Real; }
  bool isNumber() const { return isBool() || isInteger() || isReal(); }
  bool isString() const { return type() == Type::String; }
  bool isData() const { return type() == Type::Data; }
  bool isDate() const { return type() == Type::Date; }
  bool isArray() const { return type() == Type::Array; }
  bool isDictionary() const { return type() == Type::Dictionary; }

  // Lenient readings in the manner of NSNumber/NSString's boolValue, integerValue,
  // doubleValue: numbers convert, numeric texts parse, anything else gives the fallback.
  bool asBool(bool fallback = false) const;
  // An unsigned integer beyond the signed range reads as INT64_MAX.
  int64_t asInt(int64_t fallback = 0) const;
  // An integer as unsigned (a negative one as its two's complement); other values as asInt.
  uint64_t asUnsigned(uint64_t fallback = 0) const;
  double asDouble(double fallback = 0) const;
  // The text of a string; numbers are written out; anything else gives the fallback.
  std::string asString(const std::string& fallback = {}) const;

  // Strict access: nullptr when the value is of another type.
  const std::string* stringPtr() const { return std::get_if<std::string>(&v_); }
  const Data* dataPtr() const { return std::get_if<Data>(&v_); }
  const Date* datePtr() const { return std::get_if<Date>(&v_); }
  const Array* arrayPtr() const { return std::get_if<Array>(&v_); }
  const Dictionary* dictionaryPtr() const { return std::get_if<Dictionary>(&v_); }
  std::string* stringPtr() { return std::get_if<std::string>(&v_); }
  Array* arrayPtr() { return std::get_if<Array>(&v_); }
  Dictionary* dictionaryPtr() { return std::get_if<Dictionary>(&v_); }
  std::optional<std::string> optString() const;

  // Containers. Reading a missing key or index gives a null value; writing to a null
  // value turns it into a dictionary or array.
  const Value& operator[](const std::string& key) const;
  const Value& operator[](size_t index) const;
  Value& set(const std::string& key, Value value);
  bool contains(const std::string& key) const;
  bool erase(const std::string& key);
  void push_back(Value value);
  size_t size() const;  // elements of an array or dictionary, 0 otherwise
  bool empty() const { return size() == 0; }
  std::vector<std::string> keys() const;

  bool operator==(const Value& other) const;
  bool operator!=(const Value& other) const { return !(*this == other); }

  // JSON (dates become ISO 8601 texts, data becomes base64 texts).
  static std::optional<Value> fromJSON(std::string_view text, std::string* error = nullptr);
  static std::optional<Value> fromJSON(const Data& bytes, std::string* error = nullptr);
  std::string toJSON(bool pretty = false) const;

  // Property lists, XML or binary, detected on reading.
  static std::optional<Value> fromPropertyList(const Data& bytes, std::string* error = nullptr);
  static std::optional<Value> fromPropertyListFile(const std::string& path, std::string* error = nullptr);
  Data toXMLPropertyList() const;
  Data toBinaryPropertyList() const;

  static const Value& null();

 private:
  std::variant<std::monostate, bool, int64_t, double, std::string, Data, Date, Array, Dictionary, uint64_t> v_;
  static constexpr size_t kUnsignedIndex = 9;
};

Data dataFromString(std::string_view s);
std::string stringFromData(const Data& d);
