#pragma once
// The signed-in user and the identifiers of the packages they own at a repository.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStoreUserInfoResponse {
  std::string name;
  std::string email;
  std::vector<std::string> purchases;
  ErrorRef error;
  bool invalidate = false;
};
