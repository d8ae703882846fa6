#pragma once
// Finds the end of a control line together with what the line rules need to know about
// it (its first ":" and whether it is plain ASCII), in one pass of 32-byte (SSE2) or
// 8-byte steps. The buffer must stay readable for kPadding bytes past what it holds:
// the stanza reader pads its own.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(__SSE2__) && !defined(QB_NO_SIMD)
#include <emmintrin.h>
#endif

struct KVLineScan {
  static constexpr size_t npos = static_cast<size_t>(-1);
  static constexpr size_t kPadding = 32;
  size_t scanned = 0;     // bytes of the line looked at so far
  size_t newline = npos;  // offset of the line feed, once found
  size_t colon = npos;    // offset of the first ":" before it
  bool ascii = true;      // no byte of 0x80 or more before it

  // Goes on scanning the line that starts at `line` and has `available` bytes so far.
  // True once the line feed is found.
  bool resume(const char* line, size_t available) {
    // Locals, not members, in the loop: the compiler keeps them in registers.
    size_t i = scanned;
    size_t firstColon = colon;
    bool plain = ascii;
    for (; i < available; i += kStep) {
      Masks m = masks(line + i);
      // Only bytes before the end of what has been read count.
      size_t left = available - i;
      uint32_t keep = left >= kStep ? kAll : (1u << left) - 1;  // left < 32 here
      uint32_t nl = m.newline & keep;
      if (nl) keep = (nl & (0u - nl)) - 1;  // only the bytes before the line feed
      uint32_t colons = m.colon & keep;
      if (colons && firstColon == npos) firstColon = i + static_cast<size_t>(std::countr_zero(colons));
      plain = plain && !(m.high & keep);
      if (nl) {
        newline = i + static_cast<size_t>(std::countr_zero(nl));
        scanned = newline;
        colon = firstColon;
        ascii = plain;
        return true;
      }
    }
    scanned = available;
    colon = firstColon;
    ascii = plain;
    return false;
  }

 private:
  // One bit per byte of a word: bit k for byte k.
  struct Masks {
    uint32_t newline, colon, high;
  };
#if defined(__SSE2__) && !defined(QB_NO_SIMD)
  // Two 16-byte vectors per step: most control lines fit in one step.
  static constexpr size_t kStep = 32;
  static constexpr uint32_t kAll = 0xFFFFFFFFu;
  static Masks masks(const char* p) {
    __m128i lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    auto both = [](__m128i a, __m128i b) {
      return static_cast<uint32_t>(_mm_movemask_epi8(a)) | (static_cast<uint32_t>(_mm_movemask_epi8(b)) << 16);
    };
    __m128i nl = _mm_set1_epi8('\n');
    __m128i colon = _mm_set1_epi8(':');
    return {both(_mm_cmpeq_epi8(lo, nl), _mm_cmpeq_epi8(hi, nl)), both(_mm_cmpeq_epi8(lo, colon), _mm_cmpeq_epi8(hi, colon)),
            both(lo, hi)};
  }
#else
  static constexpr size_t kStep = 8;
  static constexpr uint32_t kAll = 0xFF;
  // Gathers the high bit of each byte into the low 8 bits.
  static uint32_t gather(uint64_t highBits) {
    return static_cast<uint32_t>(((highBits >> 7) * 0x0102040810204080ULL) >> 56);
  }
  static uint64_t equal(uint64_t w, unsigned char c) {
    constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7FULL;
    uint64_t x = w ^ (0x0101010101010101ULL * c);
    return ~(((x & kLow7) + kLow7) | x | kLow7);
  }
  static Masks masks(const char* p) {
    uint64_t w;
    std::memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return {gather(equal(w, '\n')), gather(equal(w, ':')), gather(w & 0x8080808080808080ULL)};
  }
#endif
};
