#pragma once
// The line rules of a control stanza, shared by the file reader and the in-memory
// splitter:
// - a line that is empty once its line-end characters are trimmed separates stanzas;
// - a line that begins with a blank or a tab continues the current field, whatever it
//   holds (": " included): the value gains a line feed and the whole line;
// - any other line with a ":" after at least one character starts a field: the name is
//   the text before the first ":", the value the rest without surrounding blanks and
//   tabs ("Conffiles:" alone is a field with an empty first line);
// - a line with no ":" continues the current field like an indented one (APT refuses a
//   file with such a line: they are counted, for whoever hands the file to APT).
// A line that is not valid UTF-8 is read as Windows-1252, so no line and no byte is
// dropped. A continuation with no field before it in its stanza has nowhere to go and
// is dropped.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "database/KVStanza.h"

class KVControlLineParser {
 public:
  enum class Line { Field, Continuation, Separator, Dropped };

  // What a caller that has already scanned the line knows about it.
  struct Hints {
    size_t colon = KVStanza::npos;  // offset of the first ":"
    bool ascii = false;             // no byte of 0x80 or more
  };

  // Applies one line, without its line feed, to the stanza being built: the line is
  // copied into the stanza.
  Line apply(KVStanza& stanza, std::string_view line, const Hints* hints = nullptr) {
    if (!(hints && hints->ascii) && !validUTF8(line)) {
      line = decodeLine(line);
      hints = nullptr;
    }
    std::string_view trimmed = trimLineEnds(line);
    if (trimmed.empty()) return Line::Separator;
    // Trimmed bytes are never ":", so a known offset only moves by the leading trim.
    size_t lead = static_cast<size_t>(trimmed.data() - line.data());
    size_t colon = !hints || hints->colon == KVStanza::npos ? KVStanza::npos : hints->colon - lead;
    if (!isContinuation(trimmed) || current_ != KVStanza::npos) {
      size_t offset = stanza.appendLine(trimmed);
      return applyAt(stanza, offset, trimmed, hints != nullptr, colon);
    }
    return Line::Dropped;
  }

  // The same for a line whose bytes the stanza's buffer already holds at `offset`,
  // followed there by a line feed. Inline: it runs once per line of every index.
  [[gnu::always_inline]] Line applyInBuffer(KVStanza& stanza, size_t offset, size_t length, const Hints& hints) {
    std::string_view line = stanza.bufferBytes(offset, length);
    if (!hints.ascii && !validUTF8(line)) return apply(stanza, line, nullptr);
    std::string_view trimmed = trimLineEnds(line);
    if (trimmed.empty()) return Line::Separator;
    size_t lead = static_cast<size_t>(trimmed.data() - line.data());
    size_t colon = hints.colon == KVStanza::npos ? hints.colon : hints.colon - lead;
    return applyAt(stanza, offset + lead, trimmed, true, colon);
  }

  // True when a line is empty once its line ends are trimmed.
  static bool isSeparator(std::string_view line) { return trimLineEnds(line).empty(); }

  // Forgets the current field; call when a new stanza begins.
  void reset() { current_ = KVStanza::npos; }

  // Lines read so far that were neither a field, nor indented, nor blank.
  size_t strayLines() const { return strayLines_; }

  // Trims line feeds, carriage returns, vertical tabs, form feeds and the Unicode line
  // separators (U+0085, U+2028, U+2029) from both ends; blanks stay.
  static std::string_view trimLineEnds(std::string_view line) {
    if (!line.empty() && plainEnd(line.front()) && plainEnd(line.back())) return line;
    return trimLineEndsSlow(line);
  }

 private:
  static bool isContinuation(std::string_view line) { return line[0] == ' ' || line[0] == '\t'; }

  // Applies a trimmed, valid line held by the stanza's buffer at `offset`. `colonKnown`
  // says whether `colon` (its first ":", or npos) was already found.
  [[gnu::always_inline]] Line applyAt(KVStanza& stanza, size_t offset, std::string_view line, bool colonKnown,
                                      size_t colon) {
    bool field = !isContinuation(line);
    if (field) {
      if (!colonKnown || colon == 0) colon = findColon(line);
      field = colon != KVStanza::npos && colon < line.size();
    }
    if (field) {
      size_t begin = colon + 1;
      size_t end = line.size();
      while (begin < end && (line[begin] == ' ' || line[begin] == '\t')) ++begin;
      while (end > begin && (line[end - 1] == ' ' || line[end - 1] == '\t')) --end;
      current_ = stanza.setFromBuffer(offset, colon, offset + begin, end - begin);
      return Line::Field;
    }
    // (A line that begins with ":" is a field with no name to APT.)
    if (!isContinuation(line) && line[0] != ':') ++strayLines_;
    if (current_ == KVStanza::npos) return Line::Dropped;
    stanza.extendValueWithLine(current_, offset, line.size());
    return Line::Continuation;
  }

  static bool plainEnd(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 0x20 && u < 0x80) || u == '\t';
  }
  static std::string_view trimLineEndsSlow(std::string_view line);
  static bool validUTF8(std::string_view line);
  std::string_view decodeLine(std::string_view line);  // Windows-1252 to UTF-8, in scratch_
  // The first ":" after the line's first byte.
  static size_t findColon(std::string_view line) {
    const void* hit = std::memchr(line.data() + 1, ':', line.size() - 1);
    return hit ? static_cast<size_t>(static_cast<const char*>(hit) - line.data()) : KVStanza::npos;
  }

  size_t current_ = KVStanza::npos;
  size_t strayLines_ = 0;
  std::string scratch_;  // the UTF-8 form of a Windows-1252 line
};
