#pragma once
// One stanza of a source's index, read into what a package record takes from it: the
// reading (fields, dependencies, contact, compatibility) is done apart from the
// database, on a thread of its own, and the entries are applied in the transaction.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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

   private:
    std::string fileLocationPrefix_;  // empty: each address is worked out whole
  };

  std::string identifier;  // lower-cased "Package"
  std::string version;
  // Not a Debian package name and version: the stanza is refused (`package` as written).
  bool refused = false;
  std::string package;
  // Outside the device's system version, and such packages are not shown.
  bool incompatible = false;

  std::optional<std::string> fileLocation;  // "Filename" below the source, when there is one
  std::string name;                         // "Name", else the identifier
  std::string category;                     // "Section", else "Default"
  std::optional<std::string> description, website, sileoDepiction, rawPackage;
  std::string iconURL;
  std::string contact, maintainer;
  std::string size;
  std::optional<std::string> minosversion, maxosversion;
  int64_t tweakCompatibleStatus = 0;
  bool paid = false;
  bool essential = false;
  std::string postinstallaction;
  std::vector<std::string> conflicts, provides, replaces, dependencies;

  // The entry of a stanza; nothing for a stanza without a "Package".
  static std::optional<KVIndexEntry> fromStanza(const KVStanza& stanza, const Context& context);
};
