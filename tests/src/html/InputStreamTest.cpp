#include <gtest/gtest.h>

#include "html/HTMLPreprocessedInputStream.h"

using namespace html;

namespace {

struct Reading {
  std::vector<CodePoint> characters;
  std::vector<std::string> errors;
};

Reading readAll(const String& text) {
  Reading r;
  HTMLPreprocessedInputStream stream(text);
  stream.setErrorBlock([&](const std::string& m) { r.errors.push_back(m); });
  for (CodePoint c; (c = stream.consumeNextInputCharacter()) != EOFCodePoint;) r.characters.push_back(c);
  return r;
}

TEST(InputStream, CarriageReturnsBecomeLineFeeds) {
  EXPECT_EQ(readAll(u"a\r\nb").characters, (std::vector<CodePoint>{'a', '\n', 'b'}));
  EXPECT_EQ(readAll(u"\r\r\n").characters, (std::vector<CodePoint>{'\n', '\n'}));
  EXPECT_EQ(readAll(u"x\r").characters, (std::vector<CodePoint>{'x', '\n'}));
}

TEST(InputStream, NulIsACharacterAndOnlyTheEndIsEOF) {
  EXPECT_EQ(readAll(String(u"a\0b", 3)).characters, (std::vector<CodePoint>{'a', 0, 'b'}));
}

TEST(InputStream, SurrogatesArePairedOrReported) {
  Reading lone = readAll(u"\xD800z");
  EXPECT_EQ(lone.characters, (std::vector<CodePoint>{0xD800, 'z'}));
  EXPECT_EQ(lone.errors, std::vector<std::string>{"Isolated lead surrogate"});
  EXPECT_EQ(readAll(u"\xDC00").errors, std::vector<std::string>{"Isloated trail surrogate"});

  HTMLPreprocessedInputStream pair(u"\U0001F600!");
  EXPECT_EQ(pair.consumeNextInputCharacter(), 0x1F600u);
  EXPECT_EQ(pair.scanLocation(), 2u);
}

TEST(InputStream, DisallowedCharactersAreReportedOnEveryReadButReconsumption) {
  std::vector<std::string> errors;
  HTMLPreprocessedInputStream stream(u"\x0001");
  stream.setErrorBlock([&](const std::string& m) { errors.push_back(m); });
  EXPECT_EQ(stream.nextInputCharacter(), 1u);
  EXPECT_EQ(stream.consumeNextInputCharacter(), 1u);
  EXPECT_EQ(errors.size(), 2u);
  stream.reconsumeCurrentInputCharacter();
  EXPECT_EQ(stream.nextInputCharacter(), 1u);  // a peek leaves the flag set
  EXPECT_EQ(stream.consumeNextInputCharacter(), 1u);
  EXPECT_EQ(stream.consumeNextInputCharacter(), EOFCodePoint);
  EXPECT_EQ(errors.size(), 2u);
}

TEST(InputStream, RunsStopAtTheFirstCharacterThatPasses) {
  HTMLPreprocessedInputStream stream(u"ab\r\ncd<e");
  String run = stream.consumeCharactersUpToFirstPassingTest([](CodePoint c) { return c == '<'; });
  EXPECT_EQ(run, u"ab\ncd");
  EXPECT_EQ(stream.consumeNextInputCharacter(), CodePoint('<'));
  EXPECT_EQ(stream.consumeCharactersUpToFirstPassingTest([](CodePoint) { return false; }), u"e");
  EXPECT_EQ(stream.consumeNextInputCharacter(), EOFCodePoint);
}

TEST(InputStream, RawNumbersAndKeywords) {
  uint32_t value = 0;
  HTMLPreprocessedInputStream hex(u"0x41;");
  EXPECT_TRUE(hex.consumeHexInt(&value));
  EXPECT_EQ(value, 0x41u);
  EXPECT_EQ(hex.nextUnprocessedCharactersWithMaximumLength(5), u";");
  HTMLPreprocessedInputStream notHex(u"x41");
  EXPECT_FALSE(notHex.consumeHexInt(&value));
  EXPECT_EQ(notHex.scanLocation(), 0u);

  HTMLPreprocessedInputStream big(u"99999999999999999999999");
  EXPECT_TRUE(big.consumeUnsignedInt(&value));
  EXPECT_EQ(value, 0xFFFFFFFFu);
  EXPECT_EQ(big.scanLocation(), 23u);
  HTMLPreprocessedInputStream negative(u"-12");
  EXPECT_FALSE(negative.consumeUnsignedInt(&value));
  EXPECT_EQ(negative.scanLocation(), 0u);

  HTMLPreprocessedInputStream keyword(u"DocType html");
  EXPECT_FALSE(keyword.consumeString(u"DOCTYPE", true));
  EXPECT_TRUE(keyword.consumeString(u"DOCTYPE", false));
  EXPECT_EQ(keyword.scanLocation(), 7u);
  keyword.unconsumeInputCharacters(7);
  EXPECT_EQ(keyword.consumeNextInputCharacter(), CodePoint('D'));
}

}  // namespace
