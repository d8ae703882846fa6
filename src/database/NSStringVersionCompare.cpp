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

// Compares two fragments [a, ae) and [b, be): alternating runs of non-digits, compared
// byte by byte by weight, and digit runs, compared by numeric value.
int compareFragment(const Byte* a, const Byte* ae, const Byte* b, const Byte* be) {
  while (a != ae && b != be) {
    int firstDiff = 0;
    while (a != ae && b != be && !(isDigit(*a) && isDigit(*b))) {
      int wa = kWeight[*a];
      int wb = kWeight[*b];
      if (wa != wb) return wa - wb;
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
    if (a != ae && isDigit(*a)) return 1;
    if (b != be && isDigit(*b)) return -1;
    if (firstDiff) return firstDiff;
  }
  if (a == ae && b == be) return 0;
  if (a == ae) return *b == '~' ? 1 : -1;
  return *a == '~' ? -1 : 1;
}

struct Parts {
  const Byte* epoch;
  const Byte* epochEnd;
  const Byte* upstream;
  const Byte* upstreamEnd;
  const Byte* revision;  // nullptr when the text has no "-" behind its epoch
  const Byte* end;
};

Parts split(std::string_view text) {
  static const char kEmpty[] = "";
  const Byte* p = reinterpret_cast<const Byte*>(text.empty() ? kEmpty : text.data());
  const Byte* end = p + text.size();
  Parts parts{p, p, p, end, nullptr, end};
  if (const void* colon = std::memchr(p, ':', text.size())) {
    const Byte* c = static_cast<const Byte*>(colon);
    const Byte* e = p;
    while (e != c && *e == '0') ++e;  // a zero epoch is no epoch
    parts.epoch = e;
    parts.epochEnd = c;
    parts.upstream = c + 1;
  }
  if (const void* dash = memrchr(parts.upstream, '-', static_cast<size_t>(end - parts.upstream))) {
    parts.upstreamEnd = static_cast<const Byte*>(dash);
    parts.revision = parts.upstreamEnd + 1;
  }
  return parts;
}

}  // namespace

int compareVersion(std::string_view a, std::string_view b) {
  Parts pa = split(a);
  Parts pb = split(b);
  if (int r = compareFragment(pa.epoch, pa.epochEnd, pb.epoch, pb.epochEnd)) return r;
  if (int r = compareFragment(pa.upstream, pa.upstreamEnd, pb.upstream, pb.upstreamEnd)) return r;
  // A missing revision compares as "0".
  static const Byte kZero[] = {'0'};
  if (!pa.revision && !pb.revision) return 0;
  const Byte* ra = pa.revision ? pa.revision : kZero;
  const Byte* rae = pa.revision ? pa.end : kZero + 1;
  const Byte* rb = pb.revision ? pb.revision : kZero;
  const Byte* rbe = pb.revision ? pb.end : kZero + 1;
  return compareFragment(ra, rae, rb, rbe);
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
