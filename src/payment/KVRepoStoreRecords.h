#pragma once
// What the payment client reads and writes of the database records: sources by
// location, packages by identifier, a source's payment endpoint and the packages a
// user bought through a repository's service. Lookups run on the calling thread.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"

namespace KVRepoStoreRecords {

struct Source {
  std::string location;
  std::string endpoint;
  bool hasEndpoint = false;
};

std::optional<Source> sourceWithLocation(const std::string& location);
// The location of every source record, in the database's order.
std::vector<std::string> allSourceLocations();
// The package's source location; nothing when no package has that identifier.
std::optional<std::string> sourceLocationOfPackage(const std::string& identifier);
// Stores the endpoint reply on the source record (no record: nothing); answers why it
// could not be written.
[[nodiscard]] ErrorRef setEndpoint(const std::string& location, bool hasEndpoint, const std::string& endpoint);
// On the default-priority queue, in one write transaction: clears the paid mark of
// every package of the source, then marks each identifier that has a package record
// (in any source). `completion` hears no error once the transaction has committed, so
// what it reads or writes sees the new marks (and cannot deadlock on the open
// transaction), or why the write failed.
void updatePurchasesForSource(const std::string& sourceLocation, const std::vector<std::string>& identifiers,
                              std::function<void(ErrorRef)> completion = nullptr);

// On the default-priority queue, in one write transaction: marks the package bought
// through its repository's service. `completion` hears, after the commit, no error or
// why it was not written.
void markPackagePaid(const std::string& identifier, std::function<void(ErrorRef)> completion = nullptr);

// On a background queue, in one write transaction: clears the outside store's purchase
// mark of every package, then marks each identifier that has a package record (others
// are skipped). `completion` hears, after the commit, no error or why it was not written.
void setOutsideStorePurchases(const std::vector<std::string>& identifiers,
                              std::function<void(ErrorRef)> completion = nullptr);

}  // namespace KVRepoStoreRecords
