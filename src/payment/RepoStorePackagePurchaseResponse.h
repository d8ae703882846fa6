#pragma once
// The outcome of a purchase: 0 bought, 1 the purchase page is needed, kNoStatus
// (-1) failed, cancelled or not answered. A fresh response has no status.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStorePackagePurchaseResponse {
  static constexpr int64_t kNoStatus = -1;
  int64_t status = kNoStatus;
  std::optional<URL> url;
  ErrorRef error;
  bool invalidate = false;
};
