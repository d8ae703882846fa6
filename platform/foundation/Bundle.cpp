#include "foundation/Bundle.h"

#include <cstdlib>

#include "foundation/Files.h"

#ifndef QB_RESOURCES_DIR
#define QB_RESOURCES_DIR "resources"
#endif

Bundle::Bundle() {
  const char* env = std::getenv("QB_RESOURCES_DIR");
  resourcePath_ = env && *env ? env : QB_RESOURCES_DIR;
}

Bundle& Bundle::main() {
  static Bundle* b = new Bundle();
  return *b;
}

std::optional<std::string> Bundle::pathForResource(const std::string& name, const std::string& type,
                                                   const std::string& subfolder) const {
  std::string file = type.empty() ? name : name + "." + type;
  std::string direct = Files::appendingPathComponent(resourcePath_, file);
  if (subfolder.empty() && Files::exists(direct)) return direct;
  if (!subfolder.empty()) {
    std::string nested = Files::appendingPathComponent(Files::appendingPathComponent(resourcePath_, subfolder), file);
    if (Files::exists(nested)) return nested;
  }
  return std::nullopt;
}
