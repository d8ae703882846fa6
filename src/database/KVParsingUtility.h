#pragma once
// Reading Debian control data: stanzas from files and from text, list fields,
// dependencies with the "firmware" system-version limits, contact names, the encoding
// of a downloaded file and other package managers' sources lists.
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "database/KVStanza.h"
#include "foundation/Error.h"
#include "foundation/StringEncoding.h"

class DateFormatter;

inline constexpr const char* KVStatusImportErrorDomain = "KVStatusImport";
enum : int64_t {
  KVStatusImportErrorNotWritten = 1,  // the records could not be written
  KVStatusImportErrorUnreadable = 2,  // dpkg's status is no file to read (DpkgStatusFile)
};

class KVParsingUtility {
 public:
  // Called once per stanza, in file order, on the calling thread. The stanza object is
  // reused for the next one: copy what must outlive the call.
  using StanzaBlock = std::function<void(KVStanza& stanza)>;

  // Streams the stanzas of a control file. A file that cannot be opened gives one
  // call with an empty stanza.
  static void enumeratePackagesOfFileAtPath(const std::string& path, const StanzaBlock& block);
  // The same for one of dpkg's own files (its status, an entry of its journal), which a
  // package's script can replace: read only as DpkgStatusFile allows (a regular file, not
  // waiting, up to its ceiling). Answers why it was not read to its end, or nothing when
  // it was; a missing file gives no stanza and no reason.
  static std::optional<std::string> enumeratePackagesOfDpkgFileAtPath(const std::string& path,
                                                                      const StanzaBlock& block);

  // The stanzas of a control text held in memory. Each also holds its own text under
  // "rawPackage"; an "Author" or "Maintainer" of the form "Name <address>" keeps the
  // name and gains "AuthorEmail" or "MaintainerEmail" with the address.
  static std::vector<KVStanza> arrayFromPackagesFromString(std::string_view text);

  // The text of a file in whatever encoding it was written (see detectStringEncoding),
  // and that encoding through `usedEncoding`; nothing when the file cannot be read.
  static std::optional<std::string> bestGuessStringForControlFileAtPath(const std::string& path,
                                                                         StringEncoding* usedEncoding);

  // A field value split at ",": the form the two operations below take. A missing
  // field gives no items.
  static std::vector<std::string> componentsOfControlField(std::optional<std::string_view> value);
  // The same as views into `value`, for the two operations below without copies (their
  // "...Views" forms).
  static std::vector<std::string_view> componentViewsOfControlField(std::optional<std::string_view> value);
  // The same appended to `out`.
  static void appendComponentViewsOfControlField(std::vector<std::string_view>& out,
                                                 std::optional<std::string_view> value);

  // The distinct non-empty items, each trimmed of "><=() " and white space at both
  // ends, in first-seen order. Alternatives ("a | b") stay one item.
  static std::vector<std::string> arrayOfItemsFromControlField(const std::vector<std::string>& components);
  static std::vector<std::string> arrayOfItemsFromControlFieldViews(const std::vector<std::string_view>& components);
  // The same into `out`, replacing what it held: its texts keep their room.
  static void arrayOfItemsFromControlFieldViews(const std::vector<std::string_view>& components,
                                                std::vector<std::string>& out);

  // The dependency clauses ("Depends" then "Pre-Depends", split at ","), each without
  // white space and with alternatives joined by " OR ", in first-seen order. A
  // "firmware" clause gives the lowest and highest system versions through
  // `minVersion` and `maxVersion`; unless `showsIncompatible`, `isIncompatible` tells
  // whether `deviceSystemVersion` lies outside them. The places may be null.
  static std::vector<std::string> arrayOfDependenciesFromControlField(const std::vector<std::string>& clauses,
                                                                      bool showsIncompatible, bool* isIncompatible,
                                                                      std::string* minVersion, std::string* maxVersion,
                                                                      std::string_view deviceSystemVersion);
  static std::vector<std::string> arrayOfDependenciesFromControlFieldViews(
      const std::vector<std::string_view>& clauses, bool showsIncompatible, bool* isIncompatible,
      std::string* minVersion, std::string* maxVersion, std::string_view deviceSystemVersion);
  // The same into `out`, replacing what it held: its texts keep their room.
  static void arrayOfDependenciesFromControlFieldViews(const std::vector<std::string_view>& clauses,
                                                       bool showsIncompatible, bool* isIncompatible,
                                                       std::string* minVersion, std::string* maxVersion,
                                                       std::string_view deviceSystemVersion,
                                                       std::vector<std::string>& out);

  // Splits "Name <address>" into its name (always written) and address (written only
  // when the value holds one).
  static void setContactFromField(std::string_view value, std::string* name, std::string* email);

  // The repository locations of another package manager's sources list ("deb" lines
  // and "URIs:" fields), each ending in "/"; empty when the file cannot be read.
  static std::set<std::string> sourceURLsFromSourceListAtPath(const std::string& path);
  // The same into `locations`, as long as it holds fewer than `limit`. A list is package
  // data: only a regular file is read (a link or a named pipe is refused without
  // waiting), and only its first kSourceListReadLimit bytes. Answers false when the list
  // went on past what was taken (more locations, or more bytes).
  static constexpr size_t kSourceListReadLimit = 1 << 20;
  static bool addSourceURLsFromSourceListAtPath(const std::string& path, std::set<std::string>& locations,
                                                size_t limit);

  // Brings the package records into line with dpkg's status file and file lists in
  // one transaction on a background queue, then calls the completion there with no
  // error, or with one (KVStatusImportErrorDomain) when the records could not be written.
  // Without a status file the completion runs at once on the calling thread, and so it
  // does, with KVStatusImportErrorUnreadable and the records as they were, when the
  // status is no file to read.
  static void checkStatusFileWithCompletion(std::function<void(ErrorRef error)> completion);

  // "yyyy-MM-dd HH:mm" in the system time zone, made once.
  static const DateFormatter& refreshDateFormatter();

  // The characters trimmed from list items.
  static std::string_view charactersToRemoveFromArrayStrings() { return "><=() "; }
};
