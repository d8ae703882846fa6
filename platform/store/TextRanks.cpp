#include "store/TextRanks.h"

#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>

#include "store/TextFolding.h"

namespace store::text {

namespace {

struct CollatorCloser {
  void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorCloser>;

Collator rootCollator(UCollationStrength strength) {
  UErrorCode status = U_ZERO_ERROR;
  Collator collator(ucol_open("", &status));
  if (U_FAILURE(status) || !collator) return nullptr;
  ucol_setStrength(collator.get(), strength);
  return collator;
}

int compareAt(UCollator* collator, std::string_view a, std::string_view b) {
  UErrorCode status = U_ZERO_ERROR;
  UCollationResult r = ucol_strcollUTF8(collator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                                        static_cast<int32_t>(b.size()), &status);
  return U_FAILURE(status) ? 2 : r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

// What the collator does with the printable ASCII characters. Each is one collation
// element of its own (no character is ignored, none expands or joins its neighbour), so
// texts made of them alone compare as the sequences of their characters' primary
// weights; where those are equal (and so the lengths), as the sequences of their
// tertiary weights (their secondary weights are all alike); and where those are equal
// too, collate() compares their bytes. Read from the collator itself, and checked
// against it on every text of one and two such characters, before it is used.
struct AsciiWeights {
  // Ranks of the weights, 1 and up; primary 0: not such a character.
  std::array<uint8_t, 128> primary{};
  std::array<uint8_t, 128> tertiary{};

  bool simple(std::string_view text) const {
    for (unsigned char c : text)
      if (c >= 128 || !primary[c]) return false;
    return true;
  }
  // The key whose bytes order such texts as the collator does (ties: their bytes).
  void appendKey(std::string& key, std::string_view text) const {
    const size_t at = key.size();
    key.resize(at + 2 * text.size() + 1);
    char* out = key.data() + at;
    for (unsigned char c : text) *out++ = static_cast<char>(primary[c]);
    *out++ = '\0';
    for (unsigned char c : text) *out++ = static_cast<char>(tertiary[c]);
  }
};

bool readWeights(AsciiWeights& weights) {
  Collator primary = rootCollator(UCOL_PRIMARY), secondary = rootCollator(UCOL_SECONDARY),
           tertiary = rootCollator(UCOL_TERTIARY);
  if (!primary || !secondary || !tertiary) return false;
  std::vector<std::string> characters;
  for (char c = 0x20; c < 0x7F; ++c)
    if (compareAt(primary.get(), std::string(1, c), "") > 0) characters.emplace_back(1, c);
  // In primary order; ties in tertiary order.
  std::stable_sort(characters.begin(), characters.end(), [&](const std::string& a, const std::string& b) {
    int p = compareAt(primary.get(), a, b);
    return p ? p < 0 : compareAt(tertiary.get(), a, b) < 0;
  });
  uint8_t primaryRank = 0, tertiaryRank = 0;
  for (size_t i = 0; i < characters.size(); ++i) {
    const bool samePrimary = i > 0 && compareAt(primary.get(), characters[i - 1], characters[i]) == 0;
    if (samePrimary && compareAt(secondary.get(), characters[i - 1], characters[i]) != 0) return false;
    if (!samePrimary) {
      ++primaryRank;
      tertiaryRank = 1;
    } else if (compareAt(tertiary.get(), characters[i - 1], characters[i]) != 0) {
      ++tertiaryRank;
    }
    const auto c = static_cast<unsigned char>(characters[i][0]);
    weights.primary[c] = primaryRank;
    weights.tertiary[c] = tertiaryRank;
  }
  // Every text of one and two of them, in the order the weights give: each must come
  // before the next by collate() too.
  std::vector<std::string> texts;
  for (const auto& a : characters) {
    texts.push_back(a);
    for (const auto& b : characters) texts.push_back(a + b);
  }
  std::vector<std::string> keys(texts.size());
  for (size_t i = 0; i < texts.size(); ++i) weights.appendKey(keys[i], texts[i]);
  std::vector<uint32_t> order(texts.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    int c = keys[a].compare(keys[b]);
    return c ? c < 0 : texts[a] < texts[b];
  });
  for (size_t i = 1; i < order.size(); ++i)
    if (collate(texts[order[i - 1]], texts[order[i]]) >= 0) return false;
  return true;
}

// The weights, read once; null when the collator is not as they need. Never destroyed:
// a worker may still be sorting with them while the process ends.
const AsciiWeights* asciiWeights() {
  static const AsciiWeights* weights = [] {
    auto read = std::make_unique<AsciiWeights>();
    return readWeights(*read) ? read.release() : nullptr;
  }();
  return weights;
}

// The collator's sort key of a text: comparing two keys byte by byte orders the texts
// as the collator does. Empty when the text is no valid UTF-8 (compared directly then).
std::string sortKey(UCollator* collator, std::string_view text) {
  for (int32_t i = 0, n = static_cast<int32_t>(text.size()); i < n;) {
    UChar32 c;
    U8_NEXT(reinterpret_cast<const uint8_t*>(text.data()), i, n, c);
    if (c < 0) return {};
  }
  UErrorCode status = U_ZERO_ERROR;
  UCharIterator it;
  uiter_setUTF8(&it, text.data(), static_cast<int32_t>(text.size()));
  std::string key;
  uint32_t state[2] = {0, 0};
  uint8_t part[256];
  for (;;) {
    status = U_ZERO_ERROR;
    int32_t got = ucol_nextSortKeyPart(collator, &it, state, part, sizeof part, &status);
    if (U_FAILURE(status)) return {};
    key.append(reinterpret_cast<const char*>(part), static_cast<size_t>(got));
    if (got < static_cast<int32_t>(sizeof part)) break;
  }
  return key;
}

// Keys one after the other in one block.
struct Keys {
  std::string bytes;
  std::vector<uint32_t> ends{0};
  std::string_view key(uint32_t i) const { return std::string_view(bytes).substr(ends[i], ends[i + 1] - ends[i]); }
  void close() { ends.push_back(static_cast<uint32_t>(bytes.size())); }
};

// Sorts `codes` by their keys (the i-th code's key is keys.key(i)), ties by the texts'
// bytes. The first sixteen bytes of each key go beside its code as two numbers, so most
// comparisons end there.
void sortByKeys(std::vector<uint32_t>& codes, const Keys& keys, const std::function<std::string_view(uint32_t)>& text) {
  struct Entry {
    uint64_t head[2];
    uint32_t index;
  };
  std::vector<Entry> entries(codes.size());
  for (uint32_t i = 0; i < codes.size(); ++i) {
    std::string_view key = keys.key(i);
    Entry& e = entries[i];
    e.index = i;
    for (size_t word = 0; word < 2; ++word) {
      uint64_t head = 0;
      for (size_t b = word * 8; b < word * 8 + 8; ++b) head = head << 8 | (b < key.size() ? static_cast<unsigned char>(key[b]) : 0);
      e.head[word] = head;
    }
  }
  std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
    if (a.head[0] != b.head[0]) return a.head[0] < b.head[0];
    if (a.head[1] != b.head[1]) return a.head[1] < b.head[1];
    std::string_view ka = keys.key(a.index), kb = keys.key(b.index);
    int c = ka.compare(kb);
    return c ? c < 0 : text(codes[a.index]) < text(codes[b.index]);
  });
  std::vector<uint32_t> sorted(codes.size());
  for (size_t i = 0; i < entries.size(); ++i) sorted[i] = codes[entries[i].index];
  codes.swap(sorted);
}

// Texts the ASCII weights cannot order, by the collator's sort keys (a text without one,
// no valid UTF-8, by collate()).
void sortByCollator(std::vector<uint32_t>& codes, const std::function<std::string_view(uint32_t)>& text) {
  Collator collator = rootCollator(UCOL_TERTIARY);
  std::vector<std::string> keys(codes.size());
  for (size_t i = 0; collator && i < codes.size(); ++i) keys[i] = sortKey(collator.get(), text(codes[i]));
  std::vector<uint32_t> order(codes.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    if (!keys[a].empty() && !keys[b].empty()) {
      int c = keys[a].compare(keys[b]);
      return c ? c < 0 : text(codes[a]) < text(codes[b]);
    }
    return collate(text(codes[a]), text(codes[b])) < 0;
  });
  // Sort keys order as the collator compares; checked all the same, pair by pair,
  // against the comparison the file sorts with.
  bool ordered = true;
  for (size_t i = 1; ordered && i < order.size(); ++i)
    ordered = collate(text(codes[order[i - 1]]), text(codes[order[i]])) <= 0;
  if (!ordered)
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return collate(text(codes[a]), text(codes[b])) < 0; });
  std::vector<uint32_t> sorted(codes.size());
  for (size_t i = 0; i < order.size(); ++i) sorted[i] = codes[order[i]];
  codes.swap(sorted);
}

}  // namespace

std::vector<uint32_t> collationRanks(uint32_t count, const std::function<std::string_view(uint32_t code)>& text) {
  const AsciiWeights* weights = asciiWeights();
  std::vector<uint32_t> simple, other;
  Keys keys;
  size_t bytes = 0;
  for (uint32_t code = 1; code <= count; ++code) bytes += text(code).size();
  keys.bytes.reserve(2 * bytes + count);
  keys.ends.reserve(static_cast<size_t>(count) + 1);
  simple.reserve(count);
  for (uint32_t code = 1; code <= count; ++code) {
    std::string_view t = text(code);
    if (weights && weights->simple(t)) {
      simple.push_back(code);
      weights->appendKey(keys.bytes, t);
      keys.close();
    } else {
      other.push_back(code);
    }
  }
  sortByKeys(simple, keys, text);
  keys = Keys();
  sortByCollator(other, text);

  // The two merged: each of the others goes before the first simple text collate()
  // puts after it, found by halving from where the one before went.
  std::vector<uint32_t> order;
  order.reserve(count);
  size_t from = 0;
  for (uint32_t code : other) {
    std::string_view t = text(code);
    auto at = std::upper_bound(simple.begin() + static_cast<std::ptrdiff_t>(from), simple.end(), t,
                               [&](std::string_view value, uint32_t s) { return collate(value, text(s)) < 0; });
    const size_t to = static_cast<size_t>(at - simple.begin());
    order.insert(order.end(), simple.begin() + static_cast<std::ptrdiff_t>(from), at);
    order.push_back(code);
    from = to;
  }
  order.insert(order.end(), simple.begin() + static_cast<std::ptrdiff_t>(from), simple.end());

  std::vector<uint32_t> ranks(static_cast<size_t>(count) + 1, 0);
  uint32_t rank = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || text(order[i]) != text(order[i - 1])) ++rank;
    ranks[order[i]] = rank;
  }
  return ranks;
}

}  // namespace store::text
