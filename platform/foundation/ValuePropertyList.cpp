// Property-list reading and writing of Value: both forms are read by our own readers
// (BinaryPropertyList, XMLPropertyList) and written through libplist.
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/BinaryPropertyList.h"
#include "foundation/Value.h"
#include "foundation/XMLPropertyList.h"

namespace {
plist_t toNode(const Value& v) {
  switch (v.type()) {
    case Value::Type::Null: return plist_new_string("");  // property lists have no null
    case Value::Type::Bool: return plist_new_bool(v.asBool() ? 1 : 0);
    case Value::Type::Integer: return plist_new_uint(v.asUnsigned());
    case Value::Type::Real: return plist_new_real(v.asDouble());
    case Value::Type::String: return plist_new_string(v.stringPtr()->c_str());
    case Value::Type::Data: {
      const Data& d = *v.dataPtr();
      return plist_new_data(reinterpret_cast<const char*>(d.data()), d.size());
    }
    case Value::Type::Date: {
      // The library keeps dates as 32-bit seconds (1933 to 2069 around the reference
      // date). Dates beyond that, such as the distant past and future, are pinned to
      // the nearest end rather than wrapped to the other side of the range.
      double s = v.datePtr()->seconds;
      if (!(s > INT32_MIN)) return plist_new_date(INT32_MIN, 0);
      if (s >= static_cast<double>(INT32_MAX)) return plist_new_date(INT32_MAX, 0);
      double whole = std::floor(s);
      // The library reads a negative fraction back with the wrong sign, so before the
      // reference date only whole seconds are written.
      int32_t usec = whole < 0 ? 0 : static_cast<int32_t>((s - whole) * 1e6);
      return plist_new_date(static_cast<int32_t>(whole), usec);
    }
    case Value::Type::Array: {
      plist_t a = plist_new_array();
      for (const auto& e : *v.arrayPtr()) plist_array_append_item(a, toNode(e));
      return a;
    }
    case Value::Type::Dictionary: {
      plist_t d = plist_new_dict();
      for (const auto& [k, e] : *v.dictionaryPtr()) plist_dict_set_item(d, k.c_str(), toNode(e));
      return d;
    }
  }
  return plist_new_string("");
}

}  // namespace

std::optional<Value> Value::fromPropertyList(const Data& bytes, std::string* error) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) {
    if (error) *error = "empty or oversized property list";
    return std::nullopt;
  }
  if (BinaryPropertyList::hasSignature(bytes)) return BinaryPropertyList::read(bytes, error);
  return XMLPropertyList::read(bytes, error);
}

Data Value::toXMLPropertyList() const {
  plist_t root = toNode(*this);
  char* out = nullptr;
  uint32_t n = 0;
  plist_to_xml(root, &out, &n);
  Data d(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + n);
  free(out);
  plist_free(root);
  return d;
}

Data Value::toBinaryPropertyList() const {
  plist_t root = toNode(*this);
  char* out = nullptr;
  uint32_t n = 0;
  plist_to_bin(root, &out, &n);
  Data d(reinterpret_cast<uint8_t*>(out), reinterpret_cast<uint8_t*>(out) + n);
  free(out);
  plist_free(root);
  return d;
}
