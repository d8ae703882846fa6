#pragma once
// Whether a repository announced a payment service, and its base address.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStoreEndpointResponse {
  bool hasEndpoint = false;
  std::string endpoint;
  ErrorRef error;
};
