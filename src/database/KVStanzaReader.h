#pragma once
// Reads a control file (a Packages index, the dpkg status) one stanza at a time. The
// file is read in blocks into one buffer that only grows to hold the longest line, so
// lines of any length are read whole and an index of any size is parsed in the memory
// of its largest stanza (up to a ceiling: a stanza past it stops the reading).
#include <sys/types.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "database/KVControlLineParser.h"
#include "database/KVLineScanner.h"
#include "database/KVStanza.h"

class KVStanzaReader {
 public:
  // Fills up to `size` bytes; answers how many (0 at the end, -1 on an error), as read(2).
  using ReadFunction = std::function<ssize_t(char* bytes, size_t size)>;

  explicit KVStanzaReader(const std::string& path);
  // Reads whatever `read` hands out, as from a file (a stream being decoded).
  explicit KVStanzaReader(ReadFunction read);
  ~KVStanzaReader();
  KVStanzaReader(const KVStanzaReader&) = delete;
  KVStanzaReader& operator=(const KVStanzaReader&) = delete;

  bool isOpen() const { return fd_ >= 0 || read_; }
  // Fills `stanza` (cleared first) with the next stanza that has at least one field.
  // False when the file holds no more. The stanza may refer to the reader's buffer
  // (KVStanza::lendLines): it is good until the reader is next called or goes, and a
  // copy of it is good for as long as the copy lives.
  bool next(KVStanza& stanza);
  // True when reading stopped on an error rather than at the end of the file.
  bool failed() const { return failed_; }
  // True when it stopped because one stanza (or one line of it) grew past the ceiling:
  // what the reader holds at once, whatever the size of the file.
  bool stanzaTooLarge() const { return tooLarge_; }
  // Lines read so far that are no field, nor part of one (KVControlLineParser).
  size_t strayLines() const { return parser_.strayLines(); }
  // The most bytes one stanza may take: a real one takes a few KB, the largest known a
  // few hundred.
  static constexpr size_t kMaximumStanzaBytes = 32 * 1024 * 1024;
  // Bytes held by the read buffer.
  size_t retainedBytes() const { return buffer_.capacity(); }

  static constexpr size_t kBlockSize = 128 * 1024;

 private:
  // The next whole line in the buffer; false when the buffer must be refilled first
  // (or, with eof_, when the file is done).
  bool nextLine(size_t& start, size_t& length, KVControlLineParser::Hints& hints);
  void fill();
  // Gives up on a stanza past the ceiling, letting go of what it held.
  bool stop(KVStanza& stanza);
  size_t usable() const { return buffer_.size() - kPadding; }

  // The line scanner reads whole steps, so the buffer keeps this many bytes beyond
  // what it fills.
  static constexpr size_t kPadding = KVLineScan::kPadding;

  int fd_ = -1;
  ReadFunction read_;
  std::vector<char> buffer_;
  size_t begin_ = 0;  // first byte not yet handed out
  size_t end_ = 0;    // end of the bytes read
  KVLineScan scan_;   // of the line that starts at begin_
  bool eof_ = false;

  // Where the stanza being read began in the buffer (or began again after a refill).
  size_t blockStart_ = 0;
  bool failed_ = false;
  bool tooLarge_ = false;
  KVControlLineParser parser_;
};
