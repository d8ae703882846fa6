#include "PropertyListFuzzTarget.h"

#include <cmath>
#include <cstdlib>
#include <string>

#include "foundation/Value.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

bool sameDouble(double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); }

// Whether `back`, read from what was written of `value`, is the same value: a null is
// written as an empty string, and the XML form holds dates to the second (one that is no
// number as the reference date; one past the years it can write is not compared).
bool sameAsWritten(const Value& value, const Value& back, bool xml) {
  if (value.isNull()) return back == Value("");
  if (back.type() != value.type()) return false;
  switch (value.type()) {
    case Value::Type::Real: return sameDouble(value.asDouble(), back.asDouble());
    case Value::Type::Date: {
      const double seconds = value.datePtr()->seconds, read = back.datePtr()->seconds;
      if (!xml) return sameDouble(seconds, read);
      if (std::isnan(seconds)) return read == 0;
      return std::fabs(seconds) > 1e15 || read == std::floor(seconds);
    }
    case Value::Type::Array:
      for (size_t i = 0; i < value.size(); ++i)
        if (!sameAsWritten(value[i], back[i], xml)) return false;
      return back.size() == value.size();
    case Value::Type::Dictionary:
      for (const auto& [key, item] : *value.dictionaryPtr())
        if (!back.contains(key) || !sameAsWritten(item, back[key], xml)) return false;
      return back.size() == value.size();
    default: return back == value;
  }
}
}  // namespace

int runPropertyListFuzzTarget(const uint8_t* data, size_t size) {
  const Data bytes(data, data + size);
  std::string error;
  std::optional<Value> value = Value::fromPropertyList(bytes, &error);
  check(value.has_value() != !error.empty() || value.has_value());
  if (!value) return 0;
  // What was read can be written in both forms, and each reads back as the same value.
  for (bool xml : {false, true}) {
    std::optional<Value> back = Value::fromPropertyList(xml ? value->toXMLPropertyList() : value->toBinaryPropertyList());
    check(back && sameAsWritten(*value, *back, xml));
  }
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runPropertyListFuzzTarget(data, size); }
#endif
