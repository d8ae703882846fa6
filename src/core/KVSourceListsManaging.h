#pragma once
// What the refresh and the sources manager ask of the APT layer, which is built above
// them: a source's list files in the private APT tree (its Release and its decoded
// Packages index) and its line in the private sources list. The composition root hands
// them the APT layer's own.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/KVSourceLocation.h"
#include "foundation/Error.h"
#include "foundation/StringEncoding.h"

class KVSourceListsManaging {
 public:
  enum FileType : int { Release = 0, Packages = 1 };
  // Where a list file's bytes go while it is written.
  class Sink {
   public:
    virtual ~Sink() = default;
    // The next `size` bytes; the error when they can't be written.
    [[nodiscard]] virtual ErrorRef write(const uint8_t* bytes, size_t size) = 0;
    // Every byte is written: puts the file on the disk, so that finishing it costs little.
    // Written with the caches ahead, the file also takes its place now (a producer that
    // then fails puts the previous file back) and APT's caches start being built from it.
    [[nodiscard]] virtual ErrorRef sync() = 0;
    // A descriptor (the caller's to close) from which the bytes written can be read back
    // as they are written, or -1 where there is none.
    virtual int readBackDescriptor() { return -1; }
  };
  // Produces a list file's bytes through the sink; an error abandons the file, which then
  // keeps its previous contents.
  using Producer = std::function<ErrorRef(Sink& sink)>;

  virtual ~KVSourceListsManaging() = default;
  virtual bool hasListFile(const std::string& location, FileType type) = 0;
  // The list file's modification date as an HTTP date (the distant past without a file),
  // for If-Modified-Since.
  virtual std::string lastModifiedText(const std::string& location, FileType type) = 0;
  // What writes takes the source's location as made by the one check of every location.
  // The Release file, then the source's sources-list line when it is missing.
  [[nodiscard]] virtual ErrorRef writeReleaseContents(const std::string& text, StringEncoding encoding,
                                                      const KVSourceLocation& location) = 0;
  // The decoded Packages index, written whole or not at all: it replaces the old file
  // only when `produce` answers true. `cachesAhead`: the cache task follows this refresh
  // (no other refresh is in the pipeline), so APT's caches may be built from the whole file
  // while the records are still being written (Sink::sync).
  [[nodiscard]] virtual ErrorRef writePackagesFile(const KVSourceLocation& location, const Producer& produce,
                                                   bool cachesAhead = false) = 0;
  // Removes the source's line and its list files.
  [[nodiscard]] virtual ErrorRef purgeSource(const KVSourceLocation& location) = 0;
  // Rebuilds APT's caches, waiting for it.
  virtual void generateCaches() = 0;
};
