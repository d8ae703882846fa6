#pragma once
// The outcome of a sign-out.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStoreSignoutResponse {
  bool success = false;
  ErrorRef error;
};
