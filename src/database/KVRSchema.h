#pragma once
// The record classes of the database file, in one schema.
#include <cstdint>

#include "store/Schema.h"

namespace KVRSchema {

inline constexpr uint64_t kSchemaVersion = 29;

// KVRPackage, KVRSource, KVRDeveloper, KVRPackageVersion and KVRSearchHistory, sharing
// the records' own declarations.
store::Schema schema();

}  // namespace KVRSchema
