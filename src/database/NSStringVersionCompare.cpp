#include "database/NSStringVersionCompare.h"

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

// Where a fragment ends. Epoch and revision end at a known position. The upstream
// version ends at the last "-" of the text, which is found only if the comparison gets
// that far: most comparisons are decided by the first number, and skipping the scan
// for the last "-" is what makes this as fast as APT's.
struct FixedEnd {
  const Byte* end;
  bool operator()(const Byte* p) const { return p == end; }
};

struct LastDashEnd {
  const Byte* end;                // end of the text
  const Byte* lastDash = nullptr;  // once known
  const Byte* notLast = nullptr;   // a "-" known to have another behind it
  bool operator()(const Byte* p) {
    if (p == end) return true;
    if (*p != '-') return false;
    if (p == lastDash) return true;
    if (p == notLast) return false;
    if (std::memchr(p + 1, '-', static_cast<size_t>(end - p - 1))) {
      notLast = p;
      return false;
    }
    lastDash = p;
    return true;
  }
};

// Compares two fragments starting at a and b: alternating runs of non-digits, compared
// byte by byte by weight, and digit runs, compared by numeric value. On return a and b
// stand where the comparison stopped (at their ends when the answer is 0).
template <class EndA, class EndB>
[[gnu::always_inline]] inline int compareFragment(const Byte*& a, EndA& atEndA, const Byte*& b, EndB& atEndB) {
  while (!atEndA(a) && !atEndB(b)) {
    int firstDiff = 0;
    while (!atEndA(a) && !atEndB(b) && !(isDigit(*a) && isDigit(*b))) {
      int wa = kWeight[*a];
      int wb = kWeight[*b];
      if (wa != wb) return wa - wb;
      ++a;
      ++b;
    }
    while (!atEndA(a) && *a == '0') ++a;
    while (!atEndB(b) && *b == '0') ++b;
    while (!atEndA(a) && !atEndB(b) && isDigit(*a) && isDigit(*b)) {
      if (!firstDiff) firstDiff = *a - *b;
      ++a;
      ++b;
    }
    if (!atEndA(a) && isDigit(*a)) return 1;
    if (!atEndB(b) && isDigit(*b)) return -1;
    if (firstDiff) return firstDiff;
  }
  bool endA = atEndA(a);
  bool endB = atEndB(b);
  if (endA && endB) return 0;
  if (endA) return *b == '~' ? 1 : -1;
  return *a == '~' ? -1 : 1;
}

int compareFixed(const Byte* a, const Byte* ae, const Byte* b, const Byte* be) {
  FixedEnd endA{ae}, endB{be};
  return compareFragment(a, endA, b, endB);
}

struct Text {
  const Byte* begin;
  const Byte* end;
  const Byte* colon;  // first ":", or nullptr
};

[[gnu::always_inline]] inline Text textOf(std::string_view s) {
  static const char kEmpty[] = "";
  const Byte* p = reinterpret_cast<const Byte*>(s.empty() ? kEmpty : s.data());
  return {p, p + s.size(), static_cast<const Byte*>(std::memchr(p, ':', s.size()))};
}

}  // namespace

int compareVersion(std::string_view va, std::string_view vb) {
  Text ta = textOf(va);
  Text tb = textOf(vb);
  const Byte* a = ta.begin;
  const Byte* b = tb.begin;

  // Epoch: the text before the first ":", leading zeros skipped, so "0:" is no epoch.
  if (ta.colon || tb.colon) {
    const Byte* ea = a;
    const Byte* eb = b;
    if (ta.colon)
      while (ea != ta.colon && *ea == '0') ++ea;
    if (tb.colon)
      while (eb != tb.colon && *eb == '0') ++eb;
    if (int r = compareFixed(ea, ta.colon ? ta.colon : a, eb, tb.colon ? tb.colon : b)) return r;
    if (ta.colon) a = ta.colon + 1;
    if (tb.colon) b = tb.colon + 1;
  }

  // Upstream version: up to the last "-" of the rest of the text.
  LastDashEnd endA{ta.end}, endB{tb.end};
  if (int r = compareFragment(a, endA, b, endB)) return r;

  // Revision: behind that "-"; a missing one compares as "0".
  static const Byte kZero[] = {'0'};
  bool hasA = a != ta.end;
  bool hasB = b != tb.end;
  if (!hasA && !hasB) return 0;
  return compareFixed(hasA ? a + 1 : kZero, hasA ? ta.end : kZero + 1, hasB ? b + 1 : kZero,
                      hasB ? tb.end : kZero + 1);
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
