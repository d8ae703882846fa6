#pragma once
// One past search: when, and the text searched.
#include <string>
#include <vector>

#include "foundation/Date.h"
#include "store/RecordTraits.h"
#include "store/TypedResults.h"

#define KVRSEARCHHISTORY_PROPERTIES(P) \
  P(Date, date, setDate, Date{})       \
  P(std::string, search, setSearch, "")

class KVRSearchHistory : public store::DefaultDatabaseQueries<KVRSearchHistory> {
  KVR_RECORD(KVRSearchHistory, KVRSEARCHHISTORY_PROPERTIES)

  static std::vector<std::string> requiredProperties() { return {"date", "search"}; }
};
