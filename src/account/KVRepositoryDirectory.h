#pragma once
// The directory client's answer to the refresh: a refreshed source is submitted through
// KVSearchRepositories, without waiting for the reply.
#include "core/KVRepositoryDirectorySubmitting.h"

class KVRepositoryDirectory : public KVRepositoryDirectorySubmitting {
 public:
  void submitRepository(const std::string& location) override;
};
