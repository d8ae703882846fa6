#include "database/NSStringVersionCompare.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "foundation/Log.h"

namespace NSStringVersionCompare {
namespace {

using Byte = unsigned char;

// The scans below read eight bytes as one word, the first byte lowest.
static_assert(std::endian::native == std::endian::little);

// Weight of a byte outside digit runs. Bytes are read as signed char whatever the
// processor's own char signedness, so a byte of 0x80 or more weighs its unsigned value
// (128..255): below "." and the other punctuation, above the letters. This is the order
// APT and dpkg produce on the processors where char is signed. A digit weighs what the
// end of the run does (0): it ends the run.
constexpr std::array<int16_t, 256> makeWeights() {
  std::array<int16_t, 256> w{};
  for (int c = 0; c < 256; ++c) {
    if (c >= '0' && c <= '9') {
      w[c] = 0;
    } else if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      w[c] = static_cast<int16_t>(c);
    } else if (c == '~') {
      w[c] = -1;
    } else if (c == 0) {
      w[c] = 0;
    } else {
      w[c] = static_cast<int16_t>(static_cast<signed char>(c) + 256);
    }
  }
  return w;
}
constexpr std::array<int16_t, 256> kWeight = makeWeights();

inline bool isDigit(Byte c) { return static_cast<unsigned>(c - '0') < 10u; }

// Compares two fragments, from a and b to ae and be: alternating runs of non-digits,
// compared byte by byte by weight, and digit runs, compared by numeric value.
// `resumed`: a and b stand in the middle of a run of non-digits (the bytes before them
// were equal non-digits), so the turn of the loop starts inside that run.
[[gnu::always_inline]] inline int compareFragment(const Byte* a, const Byte* ae, const Byte* b, const Byte* be,
                                                  bool resumed) {
  while (resumed || (a != ae && b != be)) {
    resumed = false;
    while (a != ae && b != be && !(isDigit(*a) && isDigit(*b))) {
      const int wa = kWeight[*a];
      const int wb = kWeight[*b];
      if (wa != wb) return wa - wb;
      ++a;
      ++b;
    }
    while (a != ae && *a == '0') ++a;
    while (b != be && *b == '0') ++b;
    int firstDiff = 0;
    while (a != ae && b != be && isDigit(*a) && isDigit(*b)) {
      if (!firstDiff) firstDiff = *a - *b;
      ++a;
      ++b;
    }
    if (a != ae && isDigit(*a)) return 1;
    if (b != be && isDigit(*b)) return -1;
    if (firstDiff) return firstDiff;
  }
  if (a == ae) return b == be ? 0 : *b == '~' ? 1 : -1;
  return *a == '~' ? -1 : 1;
}

[[gnu::noinline]] int compareFixed(const Byte* a, const Byte* ae, const Byte* b, const Byte* be) {
  return compareFragment(a, ae, b, be, false);
}

inline uint64_t load8(const Byte* p) {
  uint64_t x;
  std::memcpy(&x, p, 8);
  return x;
}
inline uint64_t load4(const Byte* p) {
  uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}

// The n (at most eight) bytes from p in a word's low bytes, the others zero, reading
// nothing outside them: two overlapping loads of four, or three single bytes.
inline uint64_t loadShort(const Byte* p, size_t n) {
  if (n >= 4) return load4(p) | (load4(p + n - 4) << (8 * (n - 4)));
  if (n == 0) return 0;
  return uint64_t{p[0]} | (uint64_t{p[n / 2]} << (8 * (n / 2))) | (uint64_t{p[n - 1]} << (8 * (n - 1)));
}

// 0x80 in each byte of x that equals c, nothing elsewhere (no carry crosses a byte).
inline uint64_t bytesEqual(uint64_t x, Byte c) {
  constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
  const uint64_t v = x ^ (0x0101010101010101ULL * c);
  return ~(((v & kLow7) + kLow7) | v | kLow7);
}

inline size_t lowestByte(uint64_t mask) { return static_cast<size_t>(std::countr_zero(mask)) / 8; }
inline size_t highestByte(uint64_t mask) { return static_cast<size_t>(63 - std::countl_zero(mask)) / 8; }
// The length of the common beginning of the first n bytes of a and b.
inline size_t commonPrefix(const Byte* a, const Byte* b, size_t n) {
  size_t i = 0;
  for (; i + 8 <= n; i += 8)
    if (uint64_t x = load8(a + i) ^ load8(b + i)) return i + lowestByte(x);
  if (i == n) return n;
  // The last bytes: one overlapping word where there is room (the bytes before i are
  // equal, so its first difference lies at i or after).
  const size_t at = n >= 8 ? n - 8 : 0;
  const uint64_t x = n >= 8 ? load8(a + at) ^ load8(b + at) : loadShort(a, n) ^ loadShort(b, n);
  return x ? at + lowestByte(x) : n;
}

// Where a version's parts lie: the epoch ends at the first ":", the upstream version
// at the last "-" behind it. Both found in one pass, a word at a time.
struct Shape {
  ptrdiff_t colon = -1;  // the first ":", or -1
  ptrdiff_t dash = -1;   // the last "-", or -1
};

// The n bytes from p, n at least 4 and at most 8, in a word's low bytes, the others
// zero: two overlapping loads of four, reading nothing outside them.
[[gnu::always_inline]] inline uint64_t loadUpTo8(const Byte* p, size_t n) {
  return load4(p) | (load4(p + n - 4) << (8 * (n - 4)));
}

[[gnu::noinline]] Shape shapeOfShort(const Byte* p, size_t n) {
  Shape s;
  for (size_t i = 0; i < n; ++i) {
    if (p[i] == ':' && s.colon < 0) s.colon = static_cast<ptrdiff_t>(i);
    if (p[i] == '-') s.dash = static_cast<ptrdiff_t>(i);
  }
  return s;
}

// Versions are mostly 5 to 16 bytes long: their first and last (at most) eight bytes
// are looked at without a branch on the length, the bytes between them (if any) in a
// loop.
[[gnu::always_inline]] inline Shape shapeOf(const Byte* p, size_t n) {
  if (n < 4) [[unlikely]]
    return shapeOfShort(p, n);
  const size_t m = std::min<size_t>(n, 8);
  const size_t lastAt = std::max<size_t>(n, 8) - 8;
  const uint64_t first = loadUpTo8(p, m);
  const uint64_t last = loadUpTo8(p + lastAt, m);
  uint64_t colons = bytesEqual(first, ':');
  size_t colonAt = 0;
  const uint64_t lastDashes = bytesEqual(last, '-');
  uint64_t dashes = bytesEqual(first, '-');
  size_t dashAt = 0;
  if (n > 16) [[unlikely]] {
    for (size_t i = 8; i < lastAt; i += 8) {
      const uint64_t x = load8(p + i);
      const uint64_t c = bytesEqual(x, ':');
      const uint64_t d = bytesEqual(x, '-');
      if (!colons) {
        colons = c;
        colonAt = i;
      }
      if (d) {
        dashes = d;
        dashAt = i;
      }
    }
  }
  if (!colons) {
    colons = bytesEqual(last, ':');
    colonAt = lastAt;
  }
  if (lastDashes) {
    dashes = lastDashes;
    dashAt = lastAt;
  }
  Shape s;
  s.colon = colons ? static_cast<ptrdiff_t>(colonAt + lowestByte(colons)) : -1;
  s.dash = dashes ? static_cast<ptrdiff_t>(dashAt + highestByte(dashes)) : -1;
  return s;
}

// Two fragments that begin at the same offset `from` of texts equal up to `shared`
// bytes compare as they do from the start of the last digit run they share: the
// comparison walks both in step through equal bytes, and what it remembers is
// forgotten at the start of every digit run (and means nothing among non-digits). So
// the shared part is skipped up to the digit run it ends in, which is compared again by
// value; past the fragments' start the comparison resumes inside a run of non-digits.
inline int compareSkippingShared(const Byte* A, const Byte* B, size_t from, size_t endA, size_t endB,
                                 size_t shared) {
  size_t resume = from;
  if (shared > from) {
    resume = shared;
    while (resume > from && isDigit(A[resume - 1])) --resume;
  }
  return compareFragment(A + resume, A + endA, B + resume, B + endB, resume > from);
}

// The epochs, when the texts do not plainly share one: the text before the ":", its
// leading zeros skipped (so "0:" is no epoch); none is the empty text.
[[gnu::noinline]] int compareEpochs(const Byte* A, ptrdiff_t colonA, const Byte* B, ptrdiff_t colonB) {
  const Byte* ea = A;
  const Byte* eb = B;
  const Byte* endA = colonA < 0 ? A : A + colonA;
  const Byte* endB = colonB < 0 ? B : B + colonB;
  while (ea != endA && *ea == '0') ++ea;
  while (eb != endB && *eb == '0') ++eb;
  return compareFixed(ea, endA, eb, endB);
}

// The revisions, behind each upstream version's end; a missing one compares as "0".
[[gnu::noinline]] int compareRevisions(const Byte* A, size_t upA, size_t sizeA, const Byte* B, size_t upB,
                                       size_t sizeB, size_t common) {
  static const Byte kZero[] = {'0'};
  const bool hasA = upA != sizeA;
  const bool hasB = upB != sizeB;
  if (!hasA && !hasB) return 0;
  if (hasA && hasB) {
    if (upA == upB) return compareSkippingShared(A, B, upA + 1, sizeA, sizeB, common);
    return compareFixed(A + upA + 1, A + sizeA, B + upB + 1, B + sizeB);
  }
  return compareFixed(hasA ? A + upA + 1 : kZero, hasA ? A + sizeA : kZero + 1, hasB ? B + upB + 1 : kZero,
                      hasB ? B + sizeB : kZero + 1);
}


// The bytes of two words classed at once: bit i of each mask stands for byte i of the
// first word, bit 8 + i for byte i of the second.
struct ByteClasses {
  unsigned colon, dash, digit, zero;
};

#if defined(__SSE2__) && !defined(QB_PORTABLE_BYTE_CLASSES)
inline __m128i pairOfWords(uint64_t x, uint64_t y) {
  return _mm_set_epi64x(static_cast<long long>(y), static_cast<long long>(x));
}
inline unsigned bytesOf(__m128i v, char c) {
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c))));
}
inline ByteClasses classify(uint64_t x, uint64_t y) {
  const __m128i v = pairOfWords(x, y);
  const __m128i digits = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
  return {bytesOf(v, ':'), bytesOf(v, '-'), static_cast<unsigned>(_mm_movemask_epi8(digits)), bytesOf(v, '0')};
}
inline bool anyColon(uint64_t x, uint64_t y) { return bytesOf(pairOfWords(x, y), ':') != 0; }
#else
inline ByteClasses classify(uint64_t x, uint64_t y) {
  ByteClasses c{};
  for (unsigned i = 0; i < 16; ++i) {
    const Byte b = static_cast<Byte>((i < 8 ? x >> (8 * i) : y >> (8 * (i - 8))) & 0xff);
    c.colon |= unsigned{b == ':'} << i;
    c.dash |= unsigned{b == '-'} << i;
    c.digit |= unsigned{isDigit(b)} << i;
    c.zero |= unsigned{b == '0'} << i;
  }
  return c;
}
inline bool anyColon(uint64_t x, uint64_t y) { return (bytesEqual(x, ':') | bytesEqual(y, ':')) != 0; }
#endif

// The last eight bytes of a text of eight or more bytes, and its bytes 8 to 15 if it has
// 16 or more; otherwise nothing (zero bytes), the first word holding those bytes. With
// the first word they cover texts up to 24 bytes long, the loads chosen without a branch
// on the length.
// (The address is picked by a mask: a conditional expression here is compiled into a
// branch that the lengths of real versions make as good as random.)
constexpr Byte kNoBytes[8] = {};
inline uint64_t loadEightIf(bool present, uintptr_t address) {
  const auto none = reinterpret_cast<uintptr_t>(kNoBytes);
  const uintptr_t mask = -static_cast<uintptr_t>(present);
  return load8(reinterpret_cast<const Byte*>(none + ((address - none) & mask)));
}
inline uint64_t lastWord(const Byte* p, size_t n) {
  return loadEightIf(n >= 8, reinterpret_cast<uintptr_t>(p) + n - 8);
}
inline uint64_t middleWord(const Byte* p, size_t n) { return loadEightIf(n >= 16, reinterpret_cast<uintptr_t>(p) + 8); }
// Whether a text holds a ":" between its first and its last eight bytes.
inline bool colonInMiddle(const Byte* p, size_t n) {
  uint64_t colons = 0;
  for (size_t i = 8; i + 8 < n; i += 8) colons |= bytesEqual(load8(p + i), ':');
  return colons != 0;
}

// Whether the t (at least 1) bytes from p, added to the end of a text, neither begin
// with a digit nor hold a ":" or "-": then they leave the text's parts where they were
// and only lengthen its last one.
inline bool plainTail(const Byte* p, size_t t) {
  if (isDigit(p[0])) return false;
  if (t < 4) {
    for (size_t i = 0; i < t; ++i)
      if (p[i] == ':' || p[i] == '-') return false;
    return true;
  }
  const size_t m = std::min<size_t>(t, 8);
  const uint64_t first = loadUpTo8(p, m);
  const uint64_t last = loadUpTo8(p + std::max<size_t>(t, 8) - 8, m);
  uint64_t marks = bytesEqual(first, ':') | bytesEqual(first, '-') | bytesEqual(last, ':') | bytesEqual(last, '-');
  if (t > 16) [[unlikely]]
    for (size_t i = 8; i < t - 8; i += 8) marks |= bytesEqual(load8(p + i), ':') | bytesEqual(load8(p + i), '-');
  return !marks;
}

// Where either text holds a ":": one-digit epochs told apart, or one nonzero one-digit
// epoch against none; kSameEpoch where both have the same one-digit epoch and differ
// behind it (at p); kUnknown otherwise.
constexpr int kSameEpoch = 2, kUnknown = 3;
[[gnu::noinline]] int compareEpochsQuickly(const Byte* A, size_t sizeA, const Byte* B, size_t sizeB, unsigned colons,
                                           size_t p) {
  const unsigned colonsA = colons & 0xff, colonsB = colons >> 8;
  const bool epochA = (colonsA & 3) == 2, epochB = (colonsB & 3) == 2;
  const bool digitA = isDigit(A[0]), digitB = isDigit(B[0]);
  if (epochA && epochB) {
    if (p > 0) return kSameEpoch;
    return digitA && digitB ? (A[0] < B[0] ? -1 : 1) : kUnknown;
  }
  const bool noneA = !colonsA && !anyColon(lastWord(A, sizeA), 0) && !anyColon(middleWord(A, sizeA), 0) &&
                     !colonInMiddle(A, sizeA);
  const bool noneB = !colonsB && !anyColon(lastWord(B, sizeB), 0) && !anyColon(middleWord(B, sizeB), 0) &&
                     !colonInMiddle(B, sizeB);
  if (epochA && noneB && digitA && A[0] != '0') return 1;
  if (epochB && noneA && digitB && B[0] != '0') return -1;
  return kUnknown;
}

// The answer for the pairs a package manager meets most, read off the first eight bytes
// of each text (both at least 4 long) a word at a time, or false where they do not
// settle it:
// - one text is the other with something added that starts no digit run and moves no
//   part's border (a stable update's or backport's suffix, a "~rc1"): the added bytes
//   lengthen the last part only, so a "~" makes that text the older, anything else the
//   newer;
// - the texts differ within their first eight bytes, in their upstream versions or (in
//   texts of eight bytes at most) in their revisions behind equal upstream versions,
//   with no epoch or the same one-digit one: the answer lies at the first difference,
//   or in the digit run it falls in, if that run ends within the word (or is known to be
//   the longer).
[[gnu::always_inline]] inline bool decideQuickly(const Byte* A, size_t sizeA, const Byte* B, size_t sizeB,
                                                 int* result) {
  const size_t shorter = std::min(sizeA, sizeB);
  const uint64_t wa = loadUpTo8(A, std::min<size_t>(sizeA, 8));
  const uint64_t wb = loadUpTo8(B, std::min<size_t>(sizeB, 8));
  const uint64_t diff = wa ^ wb;
  const size_t p = diff ? lowestByte(diff) : 8;

  if (p >= shorter || p == 8) {
    // The first min(shorter, 8) bytes agree; the rest of the shorter text's length is
    // compared from its end backwards, overlapping what was compared already.
    const size_t back = std::max<size_t>(shorter, 8) - 8, m = std::min<size_t>(shorter, 8);
    if (loadUpTo8(A + back, m) != loadUpTo8(B + back, m)) return false;
    if (shorter > 16) [[unlikely]]
      for (size_t i = 8; i < shorter - 8; i += 8)
        if (load8(A + i) != load8(B + i)) return false;
    if (sizeA == sizeB) {
      *result = 0;
      return true;
    }
    const Byte* tail = sizeA > sizeB ? A + shorter : B + shorter;
    if (!plainTail(tail, sizeA > sizeB ? sizeA - shorter : sizeB - shorter)) return false;
    const int longerIsNewer = *tail == '~' ? -1 : 1;
    *result = sizeA > sizeB ? longerIsNewer : -longerIsNewer;
    return true;
  }

  // The epochs: none in either text, or a one-byte one in both (the first ":" at 1).
  const ByteClasses c = classify(wa, wb);
  if (c.colon || anyColon(lastWord(A, sizeA), lastWord(B, sizeB)) ||
      anyColon(middleWord(A, sizeA), middleWord(B, sizeB)) ||
      ((sizeA > 24 || sizeB > 24) && (colonInMiddle(A, sizeA) || colonInMiddle(B, sizeB)))) [[unlikely]] {
    const int epochs = compareEpochsQuickly(A, sizeA, B, sizeB, c.colon, p);
    if (epochs != kSameEpoch) {
      *result = epochs;
      return epochs != kUnknown;
    }
  }

  // No "-" up to the difference: it lies inside both upstream versions. Or, in texts of
  // eight bytes at most, "-"s only before it: the last of them, the same in both, ends
  // two equal upstream versions, and the difference lies inside both revisions.
  const unsigned before = (1u << p) - 1;  // the bytes before the difference, alike in both
  const unsigned dashes = (c.dash | (c.dash >> 8)) & 0xff;
  if ((dashes & (before | (1u << p))) && ((sizeA > 8) | (sizeB > 8) | ((dashes & ~before) != 0))) return false;

  // Where the comparison meets the difference: among non-digits (the bytes before it are
  // equal non-digits, or none, and the two are not both digits), by weight; or in a
  // digit run, which ends in each text at its first non-digit from there (or past the
  // word: unknown). Both answers are worked out and one is taken, with no branch on
  // which.
  const Byte a = A[p], b = B[p];
  const unsigned fromP = 0xff & ~before;
  const unsigned da = c.digit & 0xff, db = c.digit >> 8;
  const unsigned nonDigitsA = ~da & 0xff, nonDigitsB = ~db & 0xff;
  const unsigned nonZerosA = ~c.zero & 0xff, nonZerosB = (~c.zero >> 8) & 0xff;
  // The byte before is a digit when the last byte before that is no non-digit is one;
  // the run holds a nonzero digit before the difference when the last nonzero byte
  // before it is a digit.
  // Written with bitwise operators and masks rather than branches: which case holds is
  // as good as random from one pair to the next.
  const unsigned inDigitRun =
      unsigned{(before & da) > (before & nonDigitsA)} | (unsigned{isDigit(a)} & unsigned{isDigit(b)});
  const size_t significantBefore = (before & nonZerosA & da) > (before & nonZerosA & nonDigitsA);
  const int byWeight = kWeight[a] - kWeight[b];
  // Leading zeros weigh nothing: the value with more digits past them is the larger; as
  // long and aligned, the differing digit decides, or past two equal runs ending here,
  // the bytes' weights. (Bit 8 stands for "past the word".)
  const auto first = [](unsigned mask) { return static_cast<size_t>(std::countr_zero(mask | 0x100u)); };
  const size_t endA = first(nonDigitsA & fromP), endB = first(nonDigitsB & fromP);
  const size_t startA = first(nonZerosA & fromP) & (significantBefore - 1);
  const size_t startB = first(nonZerosB & fromP) & (significantBefore - 1);
  const ptrdiff_t lengthDiff =
      static_cast<ptrdiff_t>(endA - startA) - static_cast<ptrdiff_t>(endB - startB);
  const int longer = int{lengthDiff > 0} - int{lengthDiff < 0};
  const int tieMask = -int{endA > p};
  const int tie = ((int{a} - int{b}) & tieMask) | (byWeight & ~tieMask);
  const int lengthMask = -int{lengthDiff != 0};
  const int byValue = (longer & lengthMask) | (tie & ~lengthMask);
  // A run that reaches past the word is at least as long as counted: longer than the
  // other one, it is known to be the larger.
  const unsigned pastA = static_cast<unsigned>((endA == 8) & (sizeA > 8));
  const unsigned pastB = static_cast<unsigned>((endB == 8) & (sizeB > 8));
  const unsigned valueKnown =
      (((pastA | pastB) ^ 1u) & (unsigned{lengthDiff != 0} | unsigned{startA == startB})) |
      ((pastA & (pastB ^ 1u)) & unsigned{lengthDiff > 0}) | ((pastB & (pastA ^ 1u)) & unsigned{lengthDiff < 0});
  const int runMask = -static_cast<int>(inDigitRun);
  *result = (byValue & runMask) | (byWeight & ~runMask);
  return (inDigitRun & valueKnown) | ((inDigitRun ^ 1u) & unsigned{byWeight != 0});
}

// Any two texts: the parts found, then compared one by one past what they share.
[[gnu::noinline]] int compareParts(const Byte* A, size_t sizeA, const Byte* B, size_t sizeB) {
  // What the texts share from their start (all of it for a package offered again
  // unchanged) is compared once, here, and skipped below.
  const size_t common = commonPrefix(A, B, std::min(sizeA, sizeB));
  if (common == sizeA && sizeA == sizeB) return 0;
  const Shape a = shapeOf(A, sizeA);
  const Shape b = shapeOf(B, sizeB);

  size_t fromA = 0, fromB = 0;
  if ((a.colon & b.colon) >= 0) {  // either has an epoch
    const bool sameEpoch = a.colon == b.colon && static_cast<size_t>(a.colon) < common;
    if (!sameEpoch)
      if (int r = compareEpochs(A, a.colon, B, b.colon)) return r;
    fromA = static_cast<size_t>(a.colon + 1);
    fromB = static_cast<size_t>(b.colon + 1);
  }
  // The upstream version runs to the last "-" behind the epoch, or to the end.
  const size_t upA = a.dash >= static_cast<ptrdiff_t>(fromA) ? static_cast<size_t>(a.dash) : sizeA;
  const size_t upB = b.dash >= static_cast<ptrdiff_t>(fromB) ? static_cast<size_t>(b.dash) : sizeB;
  if (fromA == fromB) {
    if (int r = compareSkippingShared(A, B, fromA, upA, upB, std::min({common, upA, upB}))) return r;
  } else if (int r = compareFixed(A + fromA, A + upA, B + fromB, B + upB)) {
    return r;
  }
  return compareRevisions(A, upA, sizeA, B, upB, sizeB, upA == upB ? common : 0);
}

}  // namespace

int compareVersion(std::string_view va, std::string_view vb) {
  const Byte* const A = reinterpret_cast<const Byte*>(va.data());
  const Byte* const B = reinterpret_cast<const Byte*>(vb.data());
  int result;
  if (va.size() >= 4 && vb.size() >= 4 && decideQuickly(A, va.size(), B, vb.size(), &result)) [[likely]]
    return result;
  return compareParts(A, va.size(), B, vb.size());
}

bool compareTo(std::string_view left, std::string_view right, int op) {
  switch (op) {
    case kEqualTo:
      return compareVersion(left, right) == 0;
    case kGreaterThan:
      return compareVersion(left, right) > 0;
    case kEqualToOrGreaterThan:
      return compareVersion(left, right) >= 0;
    case kLessThan:
      return compareVersion(left, right) < 0;
    case kEqualToOrLessThan:
      return compareVersion(left, right) <= 0;
    case kAlways:
      return true;
    default:
      KVLog("invalid compare_op '%d'", op);
      return false;
  }
}

bool versionIsGreaterThan(std::optional<std::string_view> version, std::string_view other) {
  return version && compareTo(*version, other, kGreaterThan);
}
bool versionIsLessThan(std::optional<std::string_view> version, std::string_view other) {
  return version && compareTo(*version, other, kLessThan);
}
bool versionIsEqualTo(std::optional<std::string_view> version, std::string_view other) {
  return version && compareTo(*version, other, kEqualTo);
}
bool versionIsEqualOrGreaterThan(std::optional<std::string_view> version, std::string_view other) {
  return version && compareTo(*version, other, kEqualToOrGreaterThan);
}
bool versionIsEqualOrLessThan(std::optional<std::string_view> version, std::string_view other) {
  return version && compareTo(*version, other, kEqualToOrLessThan);
}

}  // namespace NSStringVersionCompare
