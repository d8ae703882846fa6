#pragma once
// Why a refresh refused a source's index, in the words the source's row and page show:
// a ceiling the index passed (what it unpacks to, what unpacking it takes, one entry, the
// source's entries, the database's records), or what APT could not read.
#include <cstdint>
#include <string>

#include "database/KVSourceIndexRun.h"
#include "foundation/Error.h"

class KVIndexRefusal {
 public:
  // The error the refresh fails with, its reason as its failure reason; none when the
  // index was not refused. `decodedCeiling` is what it was let unpack to.
  static ErrorRef errorFor(const KVSourceIndexRun::Result& result, const std::string& location,
                           uint64_t decodedCeiling);

  KVIndexRefusal() = delete;
};
