#pragma once
// A gzip stream of `bytes` zeros, made a piece at a time: a small body that inflates to
// as much as a test wants (300 MB of zeros is about 300 KB), sent as a reply's
// "Content-Encoding: gzip" or as a compressed file.
#include <zlib.h>

#include <string>
#include <vector>

inline std::string gzipOfZeros(size_t bytes) {
  z_stream stream{};
  deflateInit2(&stream, 9, Z_DEFLATED, 31, 9, Z_DEFAULT_STRATEGY);
  std::vector<unsigned char> zeros(1 << 20, 0), out(1 << 16);
  std::string gzip;
  size_t left = bytes;
  int flush;
  do {
    size_t piece = left < zeros.size() ? left : zeros.size();
    left -= piece;
    stream.next_in = zeros.data();
    stream.avail_in = static_cast<uInt>(piece);
    flush = left ? Z_NO_FLUSH : Z_FINISH;
    do {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      deflate(&stream, flush);
      gzip.append(reinterpret_cast<const char*>(out.data()), out.size() - stream.avail_out);
    } while (stream.avail_out == 0);
  } while (flush != Z_FINISH);
  deflateEnd(&stream);
  return gzip;
}
