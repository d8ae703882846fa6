#pragma once
// What the refresh asks of the vendor service's repository directory, whose client is
// built above the database: a refreshed source is offered to the directory. The
// composition root hands it the directory client's own.
#include <string>

class KVRepositoryDirectorySubmitting {
 public:
  virtual ~KVRepositoryDirectorySubmitting() = default;
  // Submits the source at `location` when the directory lacks it; answers at once and
  // relies on no reply.
  virtual void submitRepository(const std::string& location) = 0;
};
