// Decoding a compressed file piece by piece: the input is read in blocks and the output
// handed on in chunks, so an index of any size costs the decoder's own state and two
// buffers.
#include <bzlib.h>
#include <fcntl.h>
#include <lzma.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "core/NSDataCompression.h"
#include "core/KVErrorDomain.h"
#include "foundation/Log.h"

namespace NSDataCompression {
namespace {

constexpr size_t kInputBlock = 1024 * 1024;
const char* const kSinkStopped = "The decoded data could not be written";

// The compressed file, read block by block; keeps the first bytes for format checks.
class Input {
 public:
  explicit Input(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)), buffer_(kInputBlock) {}
  ~Input() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool isOpen() const { return fd_ >= 0; }
  // The next block (empty at the end); false on a read error.
  bool next(const uint8_t** bytes, size_t* size) {
    for (;;) {
      ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return false;
      *bytes = buffer_.data();
      *size = static_cast<size_t>(n);
      return true;
    }
  }
  // The first `count` bytes of the file without consuming them.
  std::vector<uint8_t> peek(size_t count) {
    std::vector<uint8_t> head(count);
    ssize_t n = ::pread(fd_, head.data(), count, 0);
    head.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return head;
  }

 private:
  int fd_;
  std::vector<uint8_t> buffer_;
};

// The decoded side: counts what was produced against the ceiling and hands it on.
class Output {
 public:
  Output(const ChunkSink& sink, size_t maxDecodedSize) : sink_(sink), max_(maxDecodedSize), buffer_(kStreamChunkSize) {}
  uint8_t* data() { return buffer_.data(); }
  size_t capacity() const { return buffer_.size(); }
  // Hands on `size` bytes of the buffer. False when the sink stops or the ceiling is passed.
  bool emit(size_t size) {
    if (size == 0) return true;
    total_ += size;
    if (total_ > max_) {
      overflow_ = true;
      return false;
    }
    if (!sink_(buffer_.data(), size)) {
      stopped_ = true;
      return false;
    }
    return true;
  }
  bool stopped() const { return stopped_; }
  bool overflow() const { return overflow_; }

 private:
  const ChunkSink& sink_;
  size_t max_;
  std::vector<uint8_t> buffer_;
  size_t total_ = 0;
  bool stopped_ = false, overflow_ = false;
};

bool fail(std::string* error, std::string message) {
  if (error) *error = std::move(message);
  return false;
}

bool copyPlain(Input& in, Output& out, std::string* error) {
  for (;;) {
    const uint8_t* bytes;
    size_t size;
    if (!in.next(&bytes, &size)) return fail(error, std::strerror(errno));
    if (size == 0) return true;
    while (size > 0) {
      size_t piece = std::min(size, out.capacity());
      std::memcpy(out.data(), bytes, piece);
      if (!out.emit(piece)) return fail(error, kSinkStopped);
      bytes += piece;
      size -= piece;
    }
  }
}

bool decodeGZip(Input& in, Output& out, std::string* error) {
  auto streamFailure = [&](int code) {
    return fail(error, out.stopped() ? kSinkStopped
                                     : qblog::format("GZ Decompression stream failed with error code: (%d)", code));
  };
  auto head = in.peek(3);
  if (head.size() < 3 || head[0] != 0x1F || head[1] != 0x8B || head[2] != 0x08)
    return fail(error, "This is not a valid GZ compressed file");
  z_stream s{};
  int rc = inflateInit2(&s, 47);
  if (rc != Z_OK) return fail(error, qblog::format("GZ Decompression initialization failed with error code: (%d)", rc));
  bool ended = false;  // the last member ended and no byte followed yet
  for (;;) {
    const uint8_t* bytes;
    size_t size;
    if (!in.next(&bytes, &size)) {
      inflateEnd(&s);
      return fail(error, std::strerror(errno));
    }
    if (size == 0) break;
    s.next_in = const_cast<Bytef*>(bytes);
    s.avail_in = static_cast<uInt>(size);
    while (s.avail_in > 0) {
      if (ended) {
        // Another member follows: all of a gzip file's members are data; anything else
        // after the end is ignored, as the whole-file decoder does.
        if (s.avail_in < 3 || s.next_in[0] != 0x1F || s.next_in[1] != 0x8B || s.next_in[2] != 0x08) {
          s.avail_in = 0;
          break;
        }
        inflateReset(&s);
        ended = false;
      }
      s.next_out = out.data();
      s.avail_out = static_cast<uInt>(out.capacity());
      rc = inflate(&s, Z_SYNC_FLUSH);
      if (!out.emit(out.capacity() - s.avail_out)) {
        inflateEnd(&s);
        return streamFailure(Z_MEM_ERROR);
      }
      if (rc == Z_STREAM_END) {
        ended = true;
        continue;
      }
      if (rc == Z_BUF_ERROR && s.avail_in == 0) break;
      if (rc != Z_OK) {
        inflateEnd(&s);
        return streamFailure(rc);
      }
    }
  }
  inflateEnd(&s);
  return ended ? true : streamFailure(Z_BUF_ERROR);
}

bool decodeBZip2(Input& in, Output& out, std::string* error) {
  auto streamFailure = [&](int code) {
    return fail(error, out.stopped() ? kSinkStopped
                                     : qblog::format("BZ2 Decompression stream failed with error code: (%d)", code));
  };
  auto head = in.peek(3);
  if (head.size() < 3 || head[0] != 0x42 || head[1] != 0x5A || head[2] != 0x68)
    return fail(error, "This is not a valid BZ2 compressed file");
  bz_stream s{};
  int rc = BZ2_bzDecompressInit(&s, 0, 0);
  if (rc != BZ_OK)
    return fail(error, qblog::format("BZ2 Decompression initialization failed with error code: (%d)", rc));
  bool ended = false;
  for (;;) {
    const uint8_t* bytes;
    size_t size;
    if (!in.next(&bytes, &size)) {
      BZ2_bzDecompressEnd(&s);
      return fail(error, std::strerror(errno));
    }
    if (size == 0) break;
    s.next_in = reinterpret_cast<char*>(const_cast<uint8_t*>(bytes));
    s.avail_in = static_cast<unsigned>(size);
    while (s.avail_in > 0) {
      if (ended) {
        // Parallel compressors write one stream per block; the file is their concatenation.
        if (s.avail_in < 3 || s.next_in[0] != 0x42 || s.next_in[1] != 0x5A || s.next_in[2] != 0x68) {
          s.avail_in = 0;
          break;
        }
        char* next = s.next_in;
        unsigned left = s.avail_in;
        BZ2_bzDecompressEnd(&s);
        s = bz_stream{};
        rc = BZ2_bzDecompressInit(&s, 0, 0);
        if (rc != BZ_OK) return streamFailure(rc);
        s.next_in = next;
        s.avail_in = left;
        ended = false;
      }
      s.next_out = reinterpret_cast<char*>(out.data());
      s.avail_out = static_cast<unsigned>(out.capacity());
      rc = BZ2_bzDecompress(&s);
      if (!out.emit(out.capacity() - s.avail_out)) {
        BZ2_bzDecompressEnd(&s);
        return streamFailure(BZ_MEM_ERROR);
      }
      if (rc < 0) {
        BZ2_bzDecompressEnd(&s);
        return streamFailure(rc);
      }
      if (rc == BZ_STREAM_END) ended = true;
    }
  }
  BZ2_bzDecompressEnd(&s);
  return ended ? true : streamFailure(BZ_UNEXPECTED_EOF);
}

bool isXZHeader(const std::vector<uint8_t>& head) {
  static const uint8_t magic[] = {0xFD, 0x37, 0x7A, 0x58, 0x5A, 0x00};
  return head.size() >= sizeof magic && std::memcmp(head.data(), magic, sizeof magic) == 0;
}

bool decodeLZMA(Input& in, Output& out, std::string* error, Format format) {
  auto head = in.peek(13);
  bool alone = !isXZHeader(head) && isLZMAZippedData(Data(head.begin(), head.end()));
  const char* notValid = format == Format::XZ ? "This is not a valid LZMA(XZ) compressed file"
                                              : "This is not a valid LZMA compressed file";
  const char* initFailed = format == Format::XZ ? "LZMA(XZ) Decompression initialization failed with error code: (%d)"
                                                : "LZMA Decompression initialization failed with error code: (%d)";
  const char* streamFailed = format == Format::XZ ? "LZMA(XZ) Decompression stream failed with error code: (%d)"
                                                  : "LZMA Decompression stream failed with error code: (%d)";
  if (head.empty()) return fail(error, notValid);
  lzma_stream s = LZMA_STREAM_INIT;
  // The decoder's own memory (its dictionary) is bounded apart from the output.
  lzma_ret rc = alone ? lzma_alone_decoder(&s, kDecoderMemoryCeiling)
                      : lzma_stream_decoder(&s, kDecoderMemoryCeiling, LZMA_CONCATENATED);
  if (rc != LZMA_OK) {
    lzma_end(&s);
    return fail(error, qblog::format(initFailed, static_cast<int>(rc)));
  }
  auto streamFailure = [&](int code) {
    lzma_end(&s);
    return fail(error, out.stopped() ? kSinkStopped : qblog::format(streamFailed, code));
  };
  bool atEnd = false;
  for (;;) {
    if (s.avail_in == 0 && !atEnd) {
      const uint8_t* bytes;
      size_t size;
      if (!in.next(&bytes, &size)) {
        lzma_end(&s);
        return fail(error, std::strerror(errno));
      }
      s.next_in = bytes;
      s.avail_in = size;
      atEnd = size == 0;
    }
    s.next_out = out.data();
    s.avail_out = out.capacity();
    size_t inBefore = s.avail_in;
    // At the end of the file the decoder may finish; a stream that is cut short then ends
    // in LZMA_BUF_ERROR instead of waiting for bytes that never come.
    rc = lzma_code(&s, atEnd ? LZMA_FINISH : LZMA_RUN);
    size_t produced = out.capacity() - s.avail_out;
    if (!out.emit(produced)) return streamFailure(LZMA_MEMLIMIT_ERROR);
    if (rc == LZMA_STREAM_END) break;
    if (rc == LZMA_MEMLIMIT_ERROR) {
      lzma_end(&s);
      return fail(error, kDecoderNeedsTooMuchMemory);
    }
    if (rc != LZMA_OK) return streamFailure(rc);
    if (atEnd && produced == 0 && s.avail_in == inBefore) return streamFailure(LZMA_BUF_ERROR);
  }
  lzma_end(&s);
  return true;
}

}  // namespace

ErrorRef decodeFile(const std::string& path, Format format, const ChunkSink& sink, size_t maxDecodedSize) {
  Input in(path);
  if (!in.isOpen()) return makeError(KVErrorDomain, KVErrorDecompressionFailed, path + ": " + std::strerror(errno));
  Output out(sink, maxDecodedSize);
  std::string reason;
  bool ok = false;
  switch (format) {
    case Format::None: ok = copyPlain(in, out, &reason); break;
    case Format::GZip: ok = decodeGZip(in, out, &reason); break;
    case Format::BZip2: ok = decodeBZip2(in, out, &reason); break;
    case Format::XZ:
    case Format::LZMA: ok = decodeLZMA(in, out, &reason, format); break;
  }
  if (!ok && out.overflow()) reason = kDecodedTooLarge;
  return ok ? nullptr : makeError(KVErrorDomain, KVErrorDecompressionFailed, reason);
}

}  // namespace NSDataCompression
