#pragma once
// One stanza of a source's index, read into what a package record takes from it: the
// reading (fields, dependencies, contact, compatibility) is done apart from the
// database, on a thread of its own, and the entries are applied in the transaction.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "database/KVRPackage.h"
#include "foundation/URL.h"

class KVStanza;

struct KVIndexEntry {
  // What every entry of one index shares.
  struct Context {
    std::string location;             // the source
    std::optional<URL> locationURL;   // the same as a URL, for the archives' addresses
    bool showIncompatiblePackages = false;
    std::string systemVersion;
    // Sets the source, and works out once what every archive's address begins with.
    void setLocation(std::string value);
    // An archive's address: the location with the file name appended as a path component.
    std::string fileLocation(std::string_view filename) const;
    // The same into `out`, replacing what it held (its room reused).
    void fileLocationInto(std::string& out, std::string_view filename) const;

   private:
    std::string fileLocationPrefix_;  // empty: each address is worked out whole
  };

  // The record a new identifier gets: the stanza's fields in place (its identifier
  // lower-cased, "Filename" below the source as its location, "Name" else the
  // identifier; the rest as KVSourceIndexImport takes them). Entries are filled again
  // and again in place, so what each holds keeps its room from one stanza to the next.
  std::unique_ptr<KVRPackage> record;
  // Not a Debian package name and version: the stanza is refused (`package` as written).
  bool refused = false;
  std::string package;
  // Outside the device's system version, and such packages are not shown: only the
  // identifier, version, location, name and dependencies are read.
  bool incompatible = false;
  bool essential = false;

  // Worked out by KVSourceIndexImport::prepare, away from the transaction.
  bool prepared = false;
  size_t hash = 0;                    // of the identifier
  KVRPackageVersion versionEntry;     // the version entry, when there is a location
  std::array<std::string, 4> lists;   // the four lists below, encoded as the store keeps them
  static constexpr size_t kDependencies = 0, kConflicts = 1, kProvides = 2, kReplaces = 3;

  const std::string& identifier() const { return record->identifier(); }
  const std::string& version() const { return *record->version(); }

  // Reads `stanza` into this entry, in place; false for a stanza without a "Package"
  // (the entry then holds nothing of use).
  bool read(const KVStanza& stanza, const Context& context);
  // The entry of a stanza; nothing for a stanza without a "Package".
  static std::optional<KVIndexEntry> fromStanza(const KVStanza& stanza, const Context& context);
};
