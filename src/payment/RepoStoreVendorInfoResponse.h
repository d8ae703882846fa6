#pragma once
// The shop's name, one-line description, icon and sign-in banner.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"
#include "payment/RepoStoreVendorInfoAuthenticationInfo.h"

struct RepoStoreVendorInfoResponse {
  std::string name;
  std::string tagline;
  std::optional<URL> icon;
  std::shared_ptr<RepoStoreVendorInfoAuthenticationInfo> authenticationInfo;
  ErrorRef error;
};
