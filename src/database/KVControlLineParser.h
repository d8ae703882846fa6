#pragma once
// The line rules of a control stanza, shared by the file reader and the in-memory
// splitter:
// - a line that is empty once its line-end characters are trimmed separates stanzas;
// - a line that begins with a blank or a tab continues the current field, whatever it
//   holds (": " included): the value gains a line feed and the whole line;
// - any other line with a ":" after at least one character starts a field: the name is
//   the text before the first ":", the value the rest without surrounding blanks and
//   tabs ("Conffiles:" alone is a field with an empty first line);
// - a line with no ":" continues the current field like an indented one.
// A line that is not valid UTF-8 is read as Windows-1252, so no line and no byte is
// dropped. A continuation with no field before it in its stanza has nowhere to go and
// is dropped.
#include <cstddef>
#include <string>
#include <string_view>

#include "database/KVStanza.h"

class KVControlLineParser {
 public:
  enum class Line { Field, Continuation, Separator, Dropped };

  // Applies one line, without its line feed, to the stanza being built.
  Line apply(KVStanza& stanza, std::string_view line);
  // Forgets the current field; call when a new stanza begins.
  void reset() { current_ = KVStanza::npos; }

  // Trims line feeds, carriage returns, vertical tabs, form feeds and the Unicode line
  // separators (U+0085, U+2028, U+2029) from both ends; blanks stay.
  static std::string_view trimLineEnds(std::string_view line);

 private:
  size_t current_ = KVStanza::npos;
  std::string scratch_;  // the UTF-8 form of a Windows-1252 line
};
