// quillbark-decode FORMAT PATH [MAXBYTES]: writes the decoded contents of a compressed
// index to standard output, at most MAXBYTES of them (by default the ceiling of data held
// whole, NSDataCompression::kDefaultMaxDecodedSize). The refresh runs it so that a decoder's dictionary (64 MiB for an XZ
// index made with the highest preset) lives in a process of its own, as APT's methods
// do. On failure it writes the reason to standard error and exits with status 1.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/NSDataCompression.h"
#include "foundation/Files.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: quillbark-decode gzip|bzip2|xz|lzma FILE [MAXBYTES]\n");
    return 2;
  }
  size_t ceiling = NSDataCompression::kDefaultMaxDecodedSize;
  if (argc == 4) {
    char* end = nullptr;
    unsigned long long given = std::strtoull(argv[3], &end, 10);
    if (!end || *end || given == 0) {
      std::fprintf(stderr, "not a number of bytes: %s\n", argv[3]);
      return 2;
    }
    ceiling = static_cast<size_t>(given);
  }
  auto format = NSDataCompression::formatNamed(argv[1]);
  if (!format) {
    std::fprintf(stderr, "unknown format %s\n", argv[1]);
    return 2;
  }
  ErrorRef error = NSDataCompression::decodeFile(argv[2], *format, [](const uint8_t* bytes, size_t size) {
    return Files::writeAll(STDOUT_FILENO, bytes, size);
  }, ceiling);
  if (error) {
    std::fputs(error->localizedDescription().c_str(), stderr);
    return 1;
  }
  return 0;
}
