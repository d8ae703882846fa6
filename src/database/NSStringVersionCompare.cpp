#include "database/NSStringVersionCompare.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "foundation/Log.h"

namespace NSStringVersionCompare {
namespace {

using Byte = unsigned char;

// Weight of a byte outside digit runs. Bytes are read as signed char whatever the
// processor's own char signedness, so a byte of 0x80 or more weighs its unsigned value
// (128..255): below "." and the other punctuation, above the letters. This is the order
// APT and dpkg produce on the processors where char is signed.
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

// The same weights with the "-" marked: the quick comparison, which does not know yet
// where the upstream version ends, stops at the first "-" it meets.
constexpr int kDashMark = 0x4000;
constexpr std::array<int16_t, 256> makeQuickWeights() {
  std::array<int16_t, 256> w = makeWeights();
  w['-'] = static_cast<int16_t>(w['-'] | kDashMark);
  return w;
}
constexpr std::array<int16_t, 256> kQuickWeight = makeQuickWeights();

// Compares two fragments, from a and b to ae and be: alternating runs of non-digits,
// compared byte by byte by weight, and digit runs, compared by numeric value; answers
// in `result` (true).
//
// With `Quick`, ae and be are the ends of the texts and the upstream version's end is
// not known: the comparison gives up (false) where it meets a "-", which may be that
// end, leaving a and b there; otherwise it answers as it would have with the real
// ends, since no "-" lay on its way. `resumed`: a and b stand where such a comparison
// gave up after passing some bytes, in the middle of a turn of the loop; that turn is
// finished first.
template <bool Quick>
[[gnu::always_inline]] inline bool compareFragment(const Byte*& a, const Byte* ae, const Byte*& b, const Byte* be,
                                                   bool resumed, int* result) {
  const std::array<int16_t, 256>& weight = Quick ? kQuickWeight : kWeight;
  while (resumed || (a != ae && b != be)) {
    resumed = false;
    int firstDiff = 0;
    while (a != ae && b != be && !(isDigit(*a) && isDigit(*b))) {
      int wa = weight[*a];
      int wb = weight[*b];
      if (Quick && ((wa | wb) & kDashMark)) return false;
      if (wa != wb) {
        *result = wa - wb;
        return true;
      }
      ++a;
      ++b;
    }
    while (a != ae && *a == '0') ++a;
    while (b != be && *b == '0') ++b;
    while (a != ae && b != be && isDigit(*a) && isDigit(*b)) {
      if (!firstDiff) firstDiff = *a - *b;
      ++a;
      ++b;
    }
    if (a != ae && isDigit(*a)) {
      *result = 1;
      return true;
    }
    if (b != be && isDigit(*b)) {
      *result = -1;
      return true;
    }
    if (firstDiff) {
      *result = firstDiff;
      return true;
    }
  }
  if (a == ae && b == be) {
    *result = 0;
    return true;
  }
  if (a == ae) {
    if (Quick && *b == '-') return false;
    *result = *b == '~' ? 1 : -1;
    return true;
  }
  if (Quick && *a == '-') return false;
  *result = *a == '~' ? -1 : 1;
  return true;
}

int compareFixed(const Byte* a, const Byte* ae, const Byte* b, const Byte* be, bool resumed = false) {
  int result = 0;
  compareFragment<false>(a, ae, b, be, resumed, &result);
  return result;
}

// The upstream version's end: the last "-" from `from` on, or the end.
inline const Byte* upstreamEnd(const Byte* from, const Byte* end) {
  const void* dash = memrchr(from, '-', static_cast<size_t>(end - from));
  return dash ? static_cast<const Byte*>(dash) : end;
}

// The length of the common beginning of two texts, eight bytes at a time.
inline size_t commonPrefix(const Byte* a, const Byte* b, size_t n) {
  size_t i = 0;
  uint64_t x, y;
  for (; i + 8 <= n; i += 8) {
    std::memcpy(&x, a + i, 8);
    std::memcpy(&y, b + i, 8);
    if (x != y) return i + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
  }
  while (i < n && a[i] == b[i]) ++i;
  return i;
}

// Two fragments that begin at the same offset of texts equal up to `shared` bytes
// compare as they do from the start of the last digit run they share: the comparison
// walks both in step through equal bytes, and what it remembers is forgotten at the
// start of every digit run (and means nothing among non-digits). So the shared part is
// skipped up to the digit run it ends in, which must be compared again by value; past
// the fragments' start the comparison resumes in the middle of a turn of its loop.
inline int compareSkippingShared(const Byte* text, const Byte* a, const Byte* ae, const Byte* b, const Byte* be,
                                 size_t shared) {
  const size_t from = static_cast<size_t>(a - text);
  size_t resume = from;
  if (shared > from) {
    resume = shared;
    while (resume > from && isDigit(text[resume - 1])) --resume;
  }
  a += resume - from;
  b += resume - from;
  int result = 0;
  compareFragment<false>(a, ae, b, be, resume > from, &result);
  return result;
}

// Two texts with the same first bytes (a version and the same with a suffix, or the
// next one of the same package): their ends are found first, and what they share is
// skipped.
int compareAlike(const Byte* A, const Byte* endOfA, const Byte* B, const Byte* endOfB) {
  const size_t sizeA = static_cast<size_t>(endOfA - A), sizeB = static_cast<size_t>(endOfB - B);
  if (sizeA == sizeB && std::memcmp(A, B, sizeA) == 0) return 0;
  const size_t common = commonPrefix(A, B, std::min(sizeA, sizeB));
  const Byte* a = A;
  const Byte* b = B;
  const Byte* colonA = static_cast<const Byte*>(std::memchr(A, ':', sizeA));
  const Byte* colonB = static_cast<const Byte*>(std::memchr(B, ':', sizeB));
  if (colonA || colonB) {
    const bool sameEpoch = colonA && colonB && colonA - A == colonB - B && static_cast<size_t>(colonA - A) < common;
    if (!sameEpoch) {
      const Byte* ea = A;
      const Byte* eb = B;
      if (colonA)
        while (ea != colonA && *ea == '0') ++ea;
      if (colonB)
        while (eb != colonB && *eb == '0') ++eb;
      if (int r = compareFixed(ea, colonA ? colonA : A, eb, colonB ? colonB : B)) return r;
    }
    if (colonA) a = colonA + 1;
    if (colonB) b = colonB + 1;
  }
  const Byte* upstreamEndA = upstreamEnd(a, endOfA);
  const Byte* upstreamEndB = upstreamEnd(b, endOfB);
  const size_t inStep = a - A == b - B ? std::min({common, static_cast<size_t>(upstreamEndA - A),
                                                    static_cast<size_t>(upstreamEndB - B)})
                                       : 0;
  if (int r = compareSkippingShared(A, a, upstreamEndA, b, upstreamEndB, inStep)) return r;

  static const Byte kZero[] = {'0'};
  const bool hasA = upstreamEndA != endOfA;
  const bool hasB = upstreamEndB != endOfB;
  if (!hasA && !hasB) return 0;
  if (hasA && hasB)
    return compareSkippingShared(A, upstreamEndA + 1, endOfA, upstreamEndB + 1, endOfB,
                                 upstreamEndA - A == upstreamEndB - B ? common : 0);
  return compareFixed(hasA ? upstreamEndA + 1 : kZero, hasA ? endOfA : kZero + 1, hasB ? upstreamEndB + 1 : kZero,
                      hasB ? endOfB : kZero + 1);
}

// Upstream version and revision from a and b, where the quick comparison met a "-"
// (no "-" lies before them behind the epochs). `resumed`: the comparison had passed
// bytes before it stopped, and goes on in the middle of its loop's turn.
int compareFromDash(const Byte* a, const Byte* endOfA, const Byte* b, const Byte* endOfB, bool resumed) {
  const Byte* upstreamEndA = upstreamEnd(a, endOfA);
  const Byte* upstreamEndB = upstreamEnd(b, endOfB);
  if (int r = compareFixed(a, upstreamEndA, b, upstreamEndB, resumed)) return r;

  // Revision: behind that "-"; a missing one compares as "0".
  static const Byte kZero[] = {'0'};
  const bool hasA = upstreamEndA != endOfA;
  const bool hasB = upstreamEndB != endOfB;
  if (!hasA && !hasB) return 0;
  return compareFixed(hasA ? upstreamEndA + 1 : kZero, hasA ? endOfA : kZero + 1, hasB ? upstreamEndB + 1 : kZero,
                      hasB ? endOfB : kZero + 1);
}

inline uint32_t load4(const Byte* p) {
  uint32_t x;
  std::memcpy(&x, p, 4);
  return x;
}

}  // namespace

int compareVersion(std::string_view va, std::string_view vb) {
  static const char kEmpty[] = "";
  const Byte* const A = reinterpret_cast<const Byte*>(va.empty() ? kEmpty : va.data());
  const Byte* const B = reinterpret_cast<const Byte*>(vb.empty() ? kEmpty : vb.data());
  const Byte* const endOfA = A + va.size();
  const Byte* const endOfB = B + vb.size();
  // Texts that begin alike (the same text above all: a package offered again unchanged)
  // are compared past what they share.
  if (va.size() >= 4 && vb.size() >= 4 && load4(A) == load4(B)) return compareAlike(A, endOfA, B, endOfB);

  // Epoch: the text before the first ":", leading zeros skipped, so "0:" is no epoch.
  const Byte* a = A;
  const Byte* b = B;
  const Byte* colonA = static_cast<const Byte*>(std::memchr(A, ':', va.size()));
  const Byte* colonB = static_cast<const Byte*>(std::memchr(B, ':', vb.size()));
  if (colonA || colonB) {
    const Byte* ea = A;
    const Byte* eb = B;
    if (colonA)
      while (ea != colonA && *ea == '0') ++ea;
    if (colonB)
      while (eb != colonB && *eb == '0') ++eb;
    // Most epochs are one digit: equal ones need no comparison.
    const bool sameDigit = colonA == A + 1 && colonB == B + 1 && *A == *B;
    if (!sameDigit)
      if (int r = compareFixed(ea, colonA ? colonA : A, eb, colonB ? colonB : B)) return r;
    if (colonA) a = colonA + 1;
    if (colonB) b = colonB + 1;
  }

  // The others are mostly told apart before either text shows a "-": compared up to
  // there without looking for the last "-" first, then on from there knowing it.
  int result;
  const Byte* const upstreamA = a;
  if (compareFragment<true>(a, endOfA, b, endOfB, false, &result)) return result;
  return compareFromDash(a, endOfA, b, endOfB, a != upstreamA);
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
