#include "PropertyListFuzzTarget.h"

#include <cstdlib>
#include <string>

#include "foundation/Value.h"

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

int runPropertyListFuzzTarget(const uint8_t* data, size_t size) {
  const Data bytes(data, data + size);
  std::string error;
  std::optional<Value> value = Value::fromPropertyList(bytes, &error);
  check(value.has_value() != !error.empty() || value.has_value());
  if (!value) return 0;
  // What was read can be written in both forms, and each reads back.
  check(Value::fromPropertyList(value->toBinaryPropertyList()).has_value());
  check(Value::fromPropertyList(value->toXMLPropertyList()).has_value());
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runPropertyListFuzzTarget(data, size); }
#endif
