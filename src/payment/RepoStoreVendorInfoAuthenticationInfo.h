#pragma once
// The banner shown to users who are not signed in.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStoreVendorInfoAuthenticationInfo {
  std::string message;
  std::string buttonTitle;
};
