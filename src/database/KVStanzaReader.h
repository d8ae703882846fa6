#pragma once
// Reads a control file (a Packages index, the dpkg status) one stanza at a time. The
// file is read in blocks into one buffer that only grows to hold the longest line, so
// lines of any length are read whole and an index of any size is parsed in the memory
// of its largest stanza.
#include <cstddef>
#include <string>
#include <vector>

#include "database/KVControlLineParser.h"
#include "database/KVStanza.h"

class KVStanzaReader {
 public:
  explicit KVStanzaReader(const std::string& path);
  ~KVStanzaReader();
  KVStanzaReader(const KVStanzaReader&) = delete;
  KVStanzaReader& operator=(const KVStanzaReader&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  // Fills `stanza` (cleared first) with the next stanza that has at least one field.
  // False when the file holds no more.
  bool next(KVStanza& stanza);
  // True when reading stopped on an error rather than at the end of the file.
  bool failed() const { return failed_; }
  // Bytes held by the read buffer.
  size_t retainedBytes() const { return buffer_.capacity(); }

  static constexpr size_t kBlockSize = 128 * 1024;

 private:
  bool nextLine(std::string_view& line);
  void fill();

  int fd_ = -1;
  std::vector<char> buffer_;
  size_t begin_ = 0;    // first byte not yet handed out
  size_t end_ = 0;      // end of the bytes read
  size_t scanned_ = 0;  // bytes from begin_ known to hold no line feed
  bool eof_ = false;
  bool failed_ = false;
  KVControlLineParser parser_;
};
