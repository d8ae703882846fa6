#include "core/NSDataCompression.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "core/DecodedOutput.h"
#include "foundation/Log.h"

namespace NSDataCompression {
namespace {

Data failed(const Data& input, std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return input;
}

// The first output buffer: the size the container announces when it announces one and
// the claim is plausible (so a large index is decoded without regrowing), otherwise twice
// the input. A claim is only a hint; the decoder's own checks and the ceiling still rule.
size_t initialSize(size_t inputSize, uint64_t announced = 0) {
  constexpr uint64_t kMostTrustedRatio = 64;
  size_t want = inputSize > SIZE_MAX / 2 ? SIZE_MAX : inputSize * 2;
  if (announced > 0 && announced / kMostTrustedRatio <= inputSize && announced < SIZE_MAX)
    want = static_cast<size_t>(announced) + 1;  // one spare byte: the end needs no regrowth
  return std::max(want, size_t(4096));
}

// The decoding libraries count in unsigned int; larger inputs are fed in pieces.
constexpr size_t kPiece = UINT_MAX;

bool startsWith(const Data& data, size_t at, std::initializer_list<uint8_t> bytes) {
  if (data.size() < at || data.size() - at < bytes.size()) return false;
  return std::equal(bytes.begin(), bytes.end(), data.begin() + static_cast<ptrdiff_t>(at));
}

// The first bytes of a bzip2 stream and of a gzip member; a file may hold several.
bool bzip2StreamAt(const Data& data, size_t at) { return startsWith(data, at, {0x42, 0x5A, 0x68}); }
bool gzipMemberAt(const Data& data, size_t at) { return startsWith(data, at, {0x1F, 0x8B, 0x08}); }

// The uncompressed size of an LZMA-alone header (at least 13 bytes); all bits set for
// "unknown".
uint64_t aloneHeaderSize(const Data& data) {
  uint64_t size = 0;
  for (int i = 12; i >= 5; --i) size = (size << 8) | data[static_cast<size_t>(i)];
  return size;
}

}  // namespace

bool isBZippedData(const Data& data) { return bzip2StreamAt(data, 0); }
bool isGZippedData(const Data& data) { return gzipMemberAt(data, 0); }
bool isXZippedData(const Data& data) {
  return startsWith(data, 0, {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00});
}

bool isLZMAZippedData(const Data& data) {
  if (data.size() < 13 || data[0] >= 9 * 5 * 5) return false;
  uint32_t dict = 0;
  for (int i = 4; i >= 1; --i) dict = (dict << 8) | data[static_cast<size_t>(i)];
  if (dict != UINT32_MAX) {
    // 2^n or 2^n + 2^(n-1): what every encoder writes, and it rules out most text.
    uint32_t top = dict == 0 ? 0 : uint32_t(1) << (31 - __builtin_clz(dict));
    if (dict != top && dict != top + (top >> 1)) return false;
  }
  uint64_t size = aloneHeaderSize(data);
  return size == UINT64_MAX || size < (uint64_t(1) << 38);
}

Data BZunzippedData(const Data& data, std::string* error, size_t maxDecodedSize) {
  if (data.empty() || !isBZippedData(data))
    return failed(data, error, "This is not a valid BZ2 compressed file");
  auto streamFailure = [&](int code) {
    return failed(data, error,
                  qblog::format("BZ2 Decompression stream failed with error code: (%d)", code));
  };

  bz_stream s{};
  int rc = BZ2_bzDecompressInit(&s, 0, 0);
  if (rc != BZ_OK)
    return failed(data, error, qblog::format(
        "BZ2 Decompression initialization failed with error code: (%d)", rc));

  DecodedOutput out(initialSize(data.size()), maxDecodedSize);
  size_t filled = 0, fed = 0;
  for (;;) {
    if (s.avail_in == 0 && fed < data.size()) {
      size_t piece = std::min(data.size() - fed, kPiece);
      s.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(data.data() + fed));
      s.avail_in = static_cast<unsigned>(piece);
      fed += piece;
    }
    if (!out.makeRoom(filled, data.size() / 2)) {
      BZ2_bzDecompressEnd(&s);
      return streamFailure(BZ_MEM_ERROR);
    }
    size_t room = std::min(out.room(filled), kPiece);
    s.next_out = reinterpret_cast<char*>(out.end(filled));
    s.avail_out = static_cast<unsigned>(room);
    unsigned inBefore = s.avail_in;
    rc = BZ2_bzDecompress(&s);
    size_t produced = room - s.avail_out;
    filled += produced;
    if (rc < 0) {
      BZ2_bzDecompressEnd(&s);
      return streamFailure(rc);
    }
    if (rc == BZ_STREAM_END) {
      const size_t next = fed - s.avail_in;
      BZ2_bzDecompressEnd(&s);
      if (filled > maxDecodedSize) return streamFailure(BZ_MEM_ERROR);
      // Parallel compressors write one stream per block; the file is their concatenation.
      if (bzip2StreamAt(data, next)) {
        s = bz_stream{};
        rc = BZ2_bzDecompressInit(&s, 0, 0);
        if (rc != BZ_OK) return streamFailure(rc);
        fed = next;
        continue;
      }
      break;
    }
    // The input is used up before the end marker: a truncated file.
    if (produced == 0 && s.avail_in == inBefore && fed == data.size()) {
      BZ2_bzDecompressEnd(&s);
      return streamFailure(BZ_UNEXPECTED_EOF);
    }
  }
  return out.take(filled);
}

Data GZunzippedData(const Data& data, std::string* error, size_t maxDecodedSize) {
  if (data.empty() || !isGZippedData(data))
    return failed(data, error, "This is not a valid GZ compressed file");
  auto streamFailure = [&](int code) {
    return failed(data, error,
                  qblog::format("GZ Decompression stream failed with error code: (%d)", code));
  };

  z_stream s{};
  int rc = inflateInit2(&s, 47);  // 15-bit window, gzip or zlib header detected
  if (rc != Z_OK)
    return failed(data, error, qblog::format(
        "GZ Decompression initialization failed with error code: (%d)", rc));

  // The gzip trailer holds the member's size modulo 2^32.
  uint64_t announced = 0;
  if (data.size() >= 18)
    for (size_t i = data.size() - 1; i >= data.size() - 4; --i) announced = announced << 8 | data[i];
  DecodedOutput out(initialSize(data.size(), announced), maxDecodedSize);
  size_t filled = 0, fed = 0;
  for (;;) {
    if (s.avail_in == 0 && fed < data.size()) {
      size_t piece = std::min(data.size() - fed, size_t(UINT_MAX));
      s.next_in = const_cast<Bytef*>(data.data() + fed);
      s.avail_in = static_cast<uInt>(piece);
      fed += piece;
    }
    if (!out.makeRoom(filled, data.size() / 2)) {
      inflateEnd(&s);
      return streamFailure(Z_MEM_ERROR);
    }
    size_t room = std::min(out.room(filled), size_t(UINT_MAX));
    s.next_out = out.end(filled);
    s.avail_out = static_cast<uInt>(room);
    uInt inBefore = s.avail_in;
    rc = inflate(&s, Z_SYNC_FLUSH);
    size_t produced = room - s.avail_out;
    filled += produced;
    if (rc == Z_STREAM_END) {
      if (filled > maxDecodedSize) {
        inflateEnd(&s);
        return streamFailure(Z_MEM_ERROR);
      }
      // A gzip file may hold several members one after another; all of them are data.
      size_t next = fed - s.avail_in;
      if (gzipMemberAt(data, next)) {
        rc = inflateReset(&s);
        if (rc != Z_OK) {
          inflateEnd(&s);
          return streamFailure(rc);
        }
        continue;
      }
      break;
    }
    if (rc != Z_OK) {  // negative statuses, and a preset dictionary we cannot supply
      inflateEnd(&s);
      return streamFailure(rc);
    }
    if (produced == 0 && s.avail_in == inBefore && fed == data.size()) {
      inflateEnd(&s);
      return streamFailure(Z_BUF_ERROR);
    }
  }
  rc = inflateEnd(&s);
  if (rc != Z_OK) return streamFailure(rc);
  return out.take(filled);
}

namespace {

struct LZMATexts {
  const char* notValid;
  const char* initFailed;
  const char* streamFailed;
};

const LZMATexts kXZTexts{
    "This is not a valid LZMA(XZ) compressed file",
    "LZMA(XZ) Decompression initialization failed with error code: (%d)",
    "LZMA(XZ) Decompression stream failed with error code: (%d)"};
const LZMATexts kLZMATexts{
    "This is not a valid LZMA compressed file",
    "LZMA Decompression initialization failed with error code: (%d)",
    "LZMA Decompression stream failed with error code: (%d)"};

enum class Container { XZ, Alone };

// The decoded size an XZ file's index or an LZMA-alone header announces, 0 when unknown.
uint64_t announcedSize(const Data& data, Container container) {
  if (container == Container::Alone) {
    uint64_t size = aloneHeaderSize(data);
    return size == UINT64_MAX ? 0 : size;
  }
  if (data.size() < 2 * LZMA_STREAM_HEADER_SIZE) return 0;
  lzma_stream_flags footer;
  if (lzma_stream_footer_decode(&footer, data.data() + data.size() - LZMA_STREAM_HEADER_SIZE) != LZMA_OK)
    return 0;
  if (footer.backward_size > data.size() - 2 * LZMA_STREAM_HEADER_SIZE) return 0;
  size_t at = data.size() - LZMA_STREAM_HEADER_SIZE - footer.backward_size;
  lzma_index* index = nullptr;
  uint64_t memlimit = uint64_t(16) << 20;
  if (lzma_index_buffer_decode(&index, &memlimit, nullptr, data.data(), &at,
                               data.size() - LZMA_STREAM_HEADER_SIZE) != LZMA_OK)
    return 0;
  uint64_t size = lzma_index_uncompressed_size(index);
  lzma_index_end(index, nullptr);
  return size;
}

Data lzmaDecode(const Data& data, std::string* error, size_t maxDecodedSize, Container container,
                const LZMATexts& texts) {
  auto streamFailure = [&](lzma_stream& s, int code) {
    lzma_end(&s);
    return failed(data, error, qblog::format(texts.streamFailed, code));
  };
  // The decoder's own memory, its dictionary, is held beside the output and bounded apart:
  // enough for every preset of xz (65 MiB at -9), whatever size a header claims.
  const uint64_t memlimit = uint64_t(80) << 20;

  lzma_stream s = LZMA_STREAM_INIT;
  lzma_ret rc = container == Container::XZ
                    ? lzma_stream_decoder(&s, memlimit, LZMA_CONCATENATED)
                    : lzma_alone_decoder(&s, memlimit);
  if (rc != LZMA_OK) {
    lzma_end(&s);
    return failed(data, error, qblog::format(texts.initFailed, static_cast<int>(rc)));
  }

  DecodedOutput out(initialSize(data.size(), announcedSize(data, container)), maxDecodedSize);
  size_t filled = 0;
  s.next_in = data.data();
  s.avail_in = data.size();
  for (;;) {
    if (!out.makeRoom(filled, data.size() / 2)) return streamFailure(s, LZMA_MEMLIMIT_ERROR);
    size_t room = out.room(filled);
    s.next_out = out.end(filled);
    s.avail_out = room;
    size_t inBefore = s.avail_in;
    // All input is present, so the last call may finish; a stream that is cut short then
    // ends in LZMA_BUF_ERROR instead of waiting for bytes that never come.
    rc = lzma_code(&s, LZMA_FINISH);
    size_t produced = room - s.avail_out;
    filled += produced;
    if (rc == LZMA_STREAM_END) break;
    if (rc != LZMA_OK) return streamFailure(s, rc);
    if (produced == 0 && s.avail_in == inBefore) return streamFailure(s, LZMA_BUF_ERROR);
  }
  lzma_end(&s);
  if (filled > maxDecodedSize)
    return failed(data, error, qblog::format(texts.streamFailed, LZMA_MEMLIMIT_ERROR));
  return out.take(filled);
}

}  // namespace

Data XZunzippedData(const Data& data, std::string* error, size_t maxDecodedSize) {
  if (data.empty()) return failed(data, error, kXZTexts.notValid);
  // Anything that is not LZMA-alone goes to the XZ decoder, which names a wrong format
  // with its own status.
  Container container = !isXZippedData(data) && isLZMAZippedData(data) ? Container::Alone
                                                                        : Container::XZ;
  return lzmaDecode(data, error, maxDecodedSize, container, kXZTexts);
}

Data LZMAunzippedData(const Data& data, std::string* error, size_t maxDecodedSize) {
  if (data.empty() || !isLZMAZippedData(data)) return failed(data, error, kLZMATexts.notValid);
  return lzmaDecode(data, error, maxDecodedSize, Container::Alone, kLZMATexts);
}

}  // namespace NSDataCompression
