// The order of texts the columns kept in memory sort by: the file's.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/TextFolding.h"
#include "store/TextRanks.h"

namespace {

// Texts of every kind the ranks take apart: printable ASCII (each character alone and
// with each other, in both cases, so every weight and every pair of them is met), runs
// sharing long starts, the empty text, repeats, controls, letters with diacritics,
// other scripts, and bytes that are no UTF-8.
std::vector<std::string> mixedTexts() {
  std::vector<std::string> texts = {"", "", "a", "A", "\t", "a\tb", "\x01", "a\x01", "\xff", "a\xff", "\xc3", "é",
                                    "e", "E", "É", "ê", "ß", "ss", "SS", "Straße", "strasse", "Ö", "o", "Œuvre",
                                    "oeuvre", "日本", "한국어", "🙂", "Ünïcode", "unicode", "Zürich", "zurich", "-a",
                                    "a-", "a b", "ab", "a.b", "a_b", "1a", "10", "9", "a", "A"};
  for (char x = 0x20; x < 0x7F; ++x) {
    texts.emplace_back(1, x);
    for (char y = 0x20; y < 0x7F; y += 3) texts.push_back(std::string(1, x) + y);
  }
  for (const char* stem : {"libreoffice-l10n-", "python3-", "Lib", "lib"})
    for (const char* end : {"de", "DE", "dé", "d", "de-x", "d-e", "", "zz"}) texts.push_back(std::string(stem) + end);
  return texts;
}

TEST(StoreTextOrder, RanksOrderTextsAsCollateDoes) {
  const std::vector<std::string> texts = mixedTexts();
  const std::vector<uint32_t> ranks = store::text::collationRanks(
      static_cast<uint32_t>(texts.size()), [&](uint32_t code) { return std::string_view(texts[code - 1]); });
  ASSERT_EQ(ranks.size(), texts.size() + 1);
  EXPECT_EQ(ranks[0], 0u);
  std::vector<size_t> order(texts.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return store::text::collate(texts[a], texts[b]) < 0; });
  uint32_t rank = 0;
  for (size_t i = 0; i < order.size(); ++i) {
    if (i == 0 || texts[order[i]] != texts[order[i - 1]]) ++rank;
    EXPECT_EQ(ranks[order[i] + 1], rank) << "\"" << texts[order[i]] << "\"";
  }
}

}  // namespace
