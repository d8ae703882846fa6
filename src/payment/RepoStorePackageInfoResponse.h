#pragma once
// Whether a package can be had and whether the signed-in user owns it.
// A plain value handed to a payment completion; made by KVRepoStoreResponseFactory.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Error.h"
#include "foundation/URL.h"

struct RepoStorePackageInfoResponse {
  bool purchased = false;
  bool available = false;
  bool invalidate = false;
  // The service answered about the package: a package it does not offer ends the call
  // as failed, with its reason, yet this is YES.
  bool answered = false;
  std::string price;
  ErrorRef error;
  std::optional<URL> recovery_url;
};
