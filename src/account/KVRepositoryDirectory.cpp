#include "account/KVRepositoryDirectory.h"

#include "account/KVSearchRepositories.h"

void KVRepositoryDirectory::submitRepository(const std::string& location) {
  KVSearchRepositories::instance().addRepository(location, [](std::optional<std::string>) {});
}
