#pragma once
// Real indexes made into package records as a refresh makes them (the stanzas read into
// entries and applied by KVSourceIndexImport), without serving them: for tests and
// benchmarks that need many real records quickly.
#include <string>

namespace store {
class Database;
}

// Adds the source `location` and applies the Packages index at `path` (plain, or packed
// with xz when its name ends in ".xz") to `db` for it. Answers the number of records
// the source then has, or 0 with the reason in `error`.
size_t applyIndexAsRefresh(store::Database& db, const std::string& path, const std::string& location,
                           std::string* error = nullptr);
