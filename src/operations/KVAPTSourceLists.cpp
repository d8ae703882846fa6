#include "operations/KVAPTSourceLists.h"

#include "foundation/Files.h"
#include "operations/KVAPTManager.h"

bool KVAPTSourceLists::hasListFile(const std::string& location, FileType type) {
  auto path = KVAPTManager::filePathForSource(location, type);
  return path && Files::exists(*path);
}

std::string KVAPTSourceLists::lastModifiedText(const std::string& location, FileType type) {
  return KVAPTManager::safeLastModifiedDateStringForSource(location, type);
}

ErrorRef KVAPTSourceLists::writeReleaseContents(const std::string& text, StringEncoding encoding,
                                                const std::string& location) {
  return KVAPTManager::writeReleaseContents(text, encoding, location);
}

ErrorRef KVAPTSourceLists::writePackagesFile(const std::string& location, const Producer& produce) {
  return KVAPTManager::writePackagesFile(location, [&produce](int fd, std::string* error) {
    return produce([fd](const uint8_t* bytes, size_t size, std::string* reason) {
      return Files::writeAll(fd, bytes, size, reason);
    }, error);
  });
}

ErrorRef KVAPTSourceLists::purgeSource(const std::string& location) {
  return KVAPTManager::purgeSourceFromSandbox(location);
}

void KVAPTSourceLists::generateCaches() { KVAPTManager::generateCaches(); }
