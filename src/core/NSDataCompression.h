#pragma once
// Recognition and decompression of the compressed forms a repository may serve its
// Packages index in: bzip2, gzip (or zlib), XZ and LZMA ("lzma-alone").
//
// Every decoder returns the decoded bytes on success. On any failure it writes the
// reason to `error` (when given) and returns the input unchanged, so a caller can also
// tell a failure by the result still bearing a compressed signature. No decoder throws.
//
// Repository data is hostile: decoded output beyond `maxDecodedSize` fails with the
// decoder's stream message, so a small file that claims gigabytes cannot exhaust memory.
// The ceiling counts what is held at once (DecodedOutput): a decoder holds at most the
// ceiling and its own working memory (for XZ and LZMA a dictionary of at most 80 MiB)
// beside the input.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/Error.h"
#include "foundation/Value.h"

namespace NSDataCompression {

// An index of this project's scale: the largest real one it reads, Debian's main index,
// is 50 MB decoded; a jailbreak repository's is a few.
inline constexpr size_t kDefaultMaxDecodedSize = size_t(128) << 20;  // 128 MiB

Data BZunzippedData(const Data& data, std::string* error = nullptr,
                    size_t maxDecodedSize = kDefaultMaxDecodedSize);
Data GZunzippedData(const Data& data, std::string* error = nullptr,
                    size_t maxDecodedSize = kDefaultMaxDecodedSize);
// Decodes an XZ container; data that carries an LZMA-alone header instead is decoded as
// LZMA, so a ".lzma" index handed here is read correctly too.
Data XZunzippedData(const Data& data, std::string* error = nullptr,
                    size_t maxDecodedSize = kDefaultMaxDecodedSize);
// Decodes LZMA-alone data (the ".lzma" files of xz --format=lzma and lzma(1)).
Data LZMAunzippedData(const Data& data, std::string* error = nullptr,
                      size_t maxDecodedSize = kDefaultMaxDecodedSize);

bool isBZippedData(const Data& data);
bool isGZippedData(const Data& data);
bool isXZippedData(const Data& data);
// A valid LZMA-alone header: properties byte below 225, a dictionary size of 2^n or
// 2^n + 2^(n-1), and an unknown or plausible (below 256 GiB) uncompressed size.
bool isLZMAZippedData(const Data& data);

// --- Streaming: a compressed file decoded piece by piece, never held whole in memory.

enum class Format {
  None,   // the file as it is
  BZip2,
  GZip,
  XZ,     // an XZ container, or LZMA-alone data found under that name
  LZMA,   // LZMA-alone, or an XZ container found under that name
};
// Takes the next piece of decoded bytes; false stops the decoding.
using ChunkSink = std::function<bool(const uint8_t* bytes, size_t size)>;
inline constexpr size_t kStreamChunkSize = 256 * 1024;

// What a streaming decoder holds at once is its own state and one chunk, whatever the
// size of the data: its ceilings are on that state, and on the bytes it hands on only as
// the caller sets (what the sink can take: room on a disk, say).
// The decoder's own state: an XZ dictionary is 64 MiB at the highest preset, and a
// header may claim gigabytes.
inline constexpr uint64_t kDecoderMemoryCeiling = uint64_t(256) << 20;
inline constexpr const char* kDecodedTooLarge = "The decoded data is larger than allowed";
inline constexpr const char* kDecoderNeedsTooMuchMemory = "The data needs more memory to decode than allowed";

// Decodes the file at `path` into `sink`, in pieces of at most kStreamChunkSize bytes,
// stopping past `maxDecodedSize` bytes handed on (kDecodedTooLarge). Null when the whole
// file was decoded, else the error (KVErrorDecompressionFailed), its text worded as the
// decoders above word their reasons (a sink that stops gives "The decoded data could not
// be written").
[[nodiscard]] ErrorRef decodeFile(const std::string& path, Format format, const ChunkSink& sink,
                                  size_t maxDecodedSize = kDefaultMaxDecodedSize);

// The same in a process of its own, the helper program "quillbark-decode", so that the
// decoder's memory (its dictionary: up to 64 MiB for an XZ index) never adds to this
// process's. The sink runs on the calling thread. Without a helper it decodes here.
[[nodiscard]] ErrorRef decodeFileApart(const std::string& path, Format format, const ChunkSink& sink,
                                       size_t maxDecodedSize = kDefaultMaxDecodedSize);
// The helper: $QUILLBARK_DECODER, else "quillbark-decode" beside this executable or in
// the build tree's src folder next to or above it; empty when there is none.
std::string decoderHelperPath();
// "gzip", "bzip2", "xz", "lzma" and back.
const char* formatName(Format format);
std::optional<Format> formatNamed(const std::string& name);

}  // namespace NSDataCompression
