#pragma once
// A repository's location, made once where text enters the system (typed in the form,
// pasted, imported from another manager's list, opened by a link, restored from a backup,
// read back from a source record) and checked there by the one check of every location
// (SourceLocations::refusal): an http or https address whose host is a host name or an
// address, with nothing APT could read as another word, an option or another line. It is
// kept with its scheme in lower case and a "/" at its end, as the source records keep it.
// A value of this type is always such a location, so the APT layer, which writes it into
// the sources list and file names, takes nothing else.
#include <compare>
#include <string>
#include <string_view>

#include "foundation/Expected.h"

inline constexpr const char* KVSourceLocationErrorDomain = "KVSourceLocationErrorDomain";

class KVSourceLocation {
 public:
  // The location the text names, or why it can be none (an error in
  // KVSourceLocationErrorDomain whose text gives the reason).
  static Expected<KVSourceLocation> fromText(std::string_view text);

  const std::string& text() const { return text_; }
  bool isHTTPS() const { return text_.rfind("https://", 0) == 0; }
  // The location after its scheme, which names the repository under either scheme.
  std::string_view withoutScheme() const;

  friend bool operator==(const KVSourceLocation&, const KVSourceLocation&) = default;
  friend auto operator<=>(const KVSourceLocation&, const KVSourceLocation&) = default;

 private:
  explicit KVSourceLocation(std::string text) : text_(std::move(text)) {}
  std::string text_;
};
