#include "operations/KVAPTSourceLists.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

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
                                                const KVSourceLocation& location) {
  return KVAPTManager::writeReleaseContents(text, encoding, location);
}

namespace {
class FileSink : public KVSourceListsManaging::Sink {
 public:
  explicit FileSink(int fd) : fd_(fd) {}
  ErrorRef write(const uint8_t* bytes, size_t size) override {
    std::string reason;
    if (Files::writeAll(fd_, bytes, size, &reason)) return nullptr;
    return makeError(KVAPTErrorDomain, KVAPTErrorTreeUnwritable, reason);
  }
  ErrorRef sync() override {
    if (::fdatasync(fd_) == 0) return nullptr;
    return makeError(KVAPTErrorDomain, KVAPTErrorTreeUnwritable, std::strerror(errno));
  }

 private:
  int fd_;
};
}  // namespace

ErrorRef KVAPTSourceLists::writePackagesFile(const KVSourceLocation& location, const Producer& produce) {
  return KVAPTManager::writePackagesFile(location, [&produce](int fd, std::string* reason) {
    FileSink sink(fd);
    ErrorRef abandoned = produce(sink);
    if (abandoned && reason) *reason = abandoned->localizedDescription();
    return !abandoned;
  });
}

ErrorRef KVAPTSourceLists::purgeSource(const KVSourceLocation& location) {
  return KVAPTManager::purgeSourceFromSandbox(location);
}

void KVAPTSourceLists::generateCaches() { KVAPTManager::generateCaches(); }
