#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "markdown/MDScanner.h"

using markdown::MDRange;
using markdown::MDScanner;

namespace {

std::string lineTexts(std::string_view text) {
  std::string out;
  for (const MDRange& r : MDScanner::linesOfString(text)) out += "[" + std::string(text.substr(r.location, r.length)) + "]";
  return out;
}

}  // namespace

TEST(MDScannerTest, LinesEndAtEveryKindOfBreak) {
  EXPECT_EQ(lineTexts("a\r\nb\rc\n"), "[a][b][c]");
  EXPECT_EQ(lineTexts("a\n\nb"), "[a][][b]");
  EXPECT_EQ(lineTexts("\n"), "[]");
  EXPECT_EQ(lineTexts("a\n\n"), "[a][]");
  EXPECT_EQ(lineTexts(""), "");
  EXPECT_THROW(MDScanner(std::string_view("")), std::invalid_argument);
}

TEST(MDScannerTest, EmptyLineAndLastLine) {
  std::string text = "\nab";
  MDScanner s(text);
  EXPECT_EQ(s.nextCharacter(), U'\n');
  EXPECT_EQ(s.previousCharacter(), 0u);
  EXPECT_TRUE(s.atBeginningOfLine());
  EXPECT_TRUE(s.atEndOfLine());
  EXPECT_FALSE(s.atEndOfString());
  s.advanceToNextLine();
  EXPECT_EQ(s.location(), 1u);
  s.advanceToNextLine();
  EXPECT_TRUE(s.atEndOfString());
  EXPECT_EQ(s.location(), 3u);
  s.advanceToNextLine();
  EXPECT_EQ(s.location(), 3u);
  s.advance();
  EXPECT_EQ(s.location(), 3u);
}

TEST(MDScannerTest, CharactersAreCodePoints) {
  std::string text = "é€x";
  MDScanner s(text);
  EXPECT_EQ(s.nextCharacter(), U'é');
  s.advance();
  EXPECT_EQ(s.location(), 2u);
  EXPECT_EQ(s.previousCharacter(), U'é');
  EXPECT_EQ(s.nextWord(), "");  // a currency sign is no letter
  s.advance();
  EXPECT_EQ(s.previousCharacter(), U'€');
  EXPECT_EQ(s.nextWord(), "x");
  s.advance();
  EXPECT_EQ(s.previousWord(), "x");
}

TEST(MDScannerTest, IndentationCountsColumns) {
  std::string six = "      x";
  MDScanner a(six);
  EXPECT_EQ(a.skipIndentationUpTo(4), 4u);
  EXPECT_EQ(a.location(), 4u);
  std::string two = "  x";
  MDScanner b(two);
  EXPECT_EQ(b.skipIndentationUpTo(4), 2u);
  EXPECT_EQ(b.location(), 2u);
  std::string tab = "  \tx";
  MDScanner c(tab);
  EXPECT_EQ(c.skipIndentationUpTo(3), 4u);  // the tab jumps past the width: no move
  EXPECT_EQ(c.location(), 0u);
  EXPECT_EQ(c.skipIndentationUpTo(0), 0u);
}

TEST(MDScannerTest, NestedBracketsStayOnTheirLine) {
  std::string text = "[a [b] \\] c] d";
  MDScanner s(text);
  EXPECT_EQ(s.skipNestedBracketsWithDelimiter('['), 12u);
  EXPECT_EQ(s.location(), 12u);
  std::string open = "[a\n]";
  MDScanner t(open);
  EXPECT_EQ(t.skipNestedBracketsWithDelimiter(']'), 0u);
  EXPECT_EQ(t.location(), 0u);
  EXPECT_EQ(t.skipNestedBracketsWithDelimiter('('), 0u);
  EXPECT_THROW(t.skipNestedBracketsWithDelimiter('x'), std::invalid_argument);
}

TEST(MDScannerTest, TransactionsRestoreAcrossLines) {
  std::string text = "ab\ncd";
  MDScanner s(text);
  s.advance();
  s.beginTransaction();
  EXPECT_EQ(s.startLocation(), 1u);
  s.advanceToNextLine();
  s.advance();
  s.commitTransaction(false);
  EXPECT_EQ(s.location(), 1u);
  EXPECT_EQ(s.rangeIndex(), 0u);
  EXPECT_EQ(s.startLocation(), 0u);
  s.beginTransaction();
  s.advanceToNextLine();
  s.commitTransaction(true);
  EXPECT_EQ(s.location(), 3u);
  EXPECT_THROW(s.commitTransaction(true), std::logic_error);
}

TEST(MDScannerTest, SkippingAndMatching) {
  std::string text = "  ab  \n\n   \ncd";
  MDScanner s(text);
  EXPECT_EQ(s.skipWhitespace(), 2u);
  EXPECT_FALSE(s.matchString("abc"));
  EXPECT_TRUE(s.matchString("ab"));
  EXPECT_EQ(s.skipEmptyLines(), 3u);  // the rest of this line, the empty one, the blank one
  EXPECT_EQ(s.nextCharacter(), U'c');
  s.setLocation(0);
  EXPECT_EQ(s.rangeIndex(), 0u);
  s.setLocation(text.size());
  EXPECT_TRUE(s.atEndOfString());
  s.setLocation(2);
  EXPECT_EQ(s.skipWhitespaceAndNewlines(), 0u);
  s.setLocation(4);
  EXPECT_EQ(s.skipWhitespaceAndNewlines(), 8u);  // 2 blanks, 3 line ends, 3 blanks
}
