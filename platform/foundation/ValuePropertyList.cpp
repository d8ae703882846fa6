// Property-list reading and writing of Value, XML and binary, all by our own readers
// and writers.
#include <cstdint>

#include "foundation/BinaryPropertyList.h"
#include "foundation/BinaryPropertyListWriter.h"
#include "foundation/Value.h"
#include "foundation/XMLPropertyList.h"
#include "foundation/XMLPropertyListWriter.h"

std::optional<Value> Value::fromPropertyList(const Data& bytes, std::string* error) {
  if (bytes.empty() || bytes.size() > UINT32_MAX) {
    if (error) *error = "empty or oversized property list";
    return std::nullopt;
  }
  if (BinaryPropertyList::hasSignature(bytes)) return BinaryPropertyList::read(bytes, error);
  return XMLPropertyList::read(bytes, error);
}

Data Value::toXMLPropertyList() const { return XMLPropertyListWriter::write(*this); }

Data Value::toBinaryPropertyList() const { return BinaryPropertyListWriter::write(*this); }
