#pragma once
// The records' schema as a database without the columns kept in memory has it: every
// query is then answered from the file, as before the store kept any. Tests and
// benchmarks set the two side by side.
#include "store/Schema.h"

inline store::Schema schemaWithoutHeldColumns(const store::Schema& schema) {
  store::Schema out;
  for (const auto& cls : schema.classes()) {
    store::ObjectSchema copy(cls->className());
    for (store::Property p : cls->properties()) {
      p.isHeldInMemory = p.isPreparedInMemory = false;
      copy.add(std::move(p));
    }
    out.add(std::move(copy));
  }
  return out;
}
