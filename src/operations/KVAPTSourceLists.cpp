#include "operations/KVAPTSourceLists.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "foundation/Files.h"
#include "foundation/Log.h"
#include "system/DeviceFiles.h"
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
  FileSink(int fd, const Files::PlaceNow* placeNow, std::string marker)
      : fd_(fd), placeNow_(placeNow), marker_(std::move(marker)) {}
  ErrorRef write(const uint8_t* bytes, size_t size) override {
    std::string reason;
    if (Files::writeAll(fd_, bytes, size, &reason)) return nullptr;
    return makeError(KVAPTErrorDomain, KVAPTErrorTreeUnwritable, reason);
  }
  ErrorRef sync() override {
    std::string reason;
    // The marker first: should the program end before the records are in, the next
    // refresh downloads the index again whatever the list file's date.
    if (placeNow_ && DeviceFiles::writeAtomically(marker_, std::string(), &reason) && (*placeNow_)(&reason)) {
      KVAPTManager::generateCachesAhead();
      return nullptr;
    }
    // Not placed now: it takes its place when the records are in, as it would have.
    if (placeNow_) KVLog("The list file could not take its place ahead: %s", reason.c_str());
    if (::fdatasync(fd_) == 0) return nullptr;
    return makeError(KVAPTErrorDomain, KVAPTErrorTreeUnwritable, std::strerror(errno));
  }
  int readBackDescriptor() override {
    // The file open for writing, opened again for reading: no name of it is needed.
    return ::open(("/proc/self/fd/" + std::to_string(fd_)).c_str(), O_RDONLY | O_CLOEXEC);
  }

 private:
  int fd_;
  const Files::PlaceNow* placeNow_;
  std::string marker_;
};
}  // namespace

ErrorRef KVAPTSourceLists::writePackagesFile(const KVSourceLocation& location, const Producer& produce,
                                             bool cachesAhead) {
  const std::string marker = KVAPTManager::aheadMarkerPathForSource(location.text());
  ErrorRef error = KVAPTManager::writePackagesFile(
      location, [&](int fd, std::string* reason, const Files::PlaceNow& placeNow) {
        FileSink sink(fd, cachesAhead ? &placeNow : nullptr, marker);
        ErrorRef abandoned = produce(sink);
        if (abandoned && reason) *reason = abandoned->localizedDescription();
        return !abandoned;
      });
  // The records are in with their list file. (After a failure the marker may stay: the
  // source then has errors, and its next refresh downloads the index anyway.)
  if (!error) DeviceFiles::removeItem(marker);
  return error;
}

ErrorRef KVAPTSourceLists::purgeSource(const KVSourceLocation& location) {
  return KVAPTManager::purgeSourceFromSandbox(location);
}

void KVAPTSourceLists::generateCaches() { KVAPTManager::generateCaches(); }
