#include "foundation/StringEncoding.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(StringEncoding, ValidatesUTF8Strictly) {
  EXPECT_TRUE(isValidUTF8(""));
  EXPECT_TRUE(isValidUTF8("plain ASCII text that is longer than eight bytes"));
  EXPECT_TRUE(isValidUTF8("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\x97\xA5\xE6\x9C\xAC"));
  EXPECT_TRUE(isValidUTF8("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  EXPECT_FALSE(isValidUTF8("caf\xE9"));          // Latin-1
  EXPECT_FALSE(isValidUTF8("\xC0\xAF"));         // overlong "/"
  EXPECT_FALSE(isValidUTF8("\xE0\x80\xAF"));     // overlong
  EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));     // surrogate
  EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUTF8("abc\xE2\x82"));      // cut short at the end
  EXPECT_FALSE(isValidUTF8("\x80"));
  EXPECT_FALSE(isValidUTF8("0123456789abcdef\xFF"));  // past the eight-byte fast path
}

TEST(StringEncoding, Windows1252MapsEveryByte) {
  EXPECT_EQ(windows1252ToUTF8("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(windows1252ToUTF8("\x80\x85\x99"), "\xE2\x82\xAC\xE2\x80\xA6\xE2\x84\xA2");
  EXPECT_EQ(windows1252ToUTF8("\x81\x9D"), "\xC2\x81\xC2\x9D");
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  std::string text = windows1252ToUTF8(all);
  EXPECT_TRUE(isValidUTF8(text));
  // Round trip through the encoder gives the same 256 bytes back.
  auto back = encodeString(text, StringEncoding::WindowsCP1252);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, all);
}

TEST(StringEncoding, DecodesAndEncodesWideForms) {
  std::string text = "A\xC3\xA9\xF0\x9F\x98\x80";  // "Aé😀"
  for (auto enc : {StringEncoding::UTF16, StringEncoding::UTF16BigEndian, StringEncoding::UTF16LittleEndian,
                   StringEncoding::UTF32, StringEncoding::UTF32BigEndian, StringEncoding::UTF32LittleEndian}) {
    SCOPED_TRACE(stringEncodingName(enc));
    auto bytes = encodeString(text, enc);
    ASSERT_TRUE(bytes);
    auto round = decodeString(*bytes, enc);
    ASSERT_TRUE(round);
    EXPECT_EQ(*round, text);
  }
  EXPECT_EQ(*encodeString("A", StringEncoding::UTF16LittleEndian), "A\0"s);
  EXPECT_EQ(*decodeString("\xFF\xFE" "A\0"s, StringEncoding::UTF16), "A");
  EXPECT_FALSE(decodeString("\x00\xD8\x41\x00"s, StringEncoding::UTF16LittleEndian));  // lone surrogate
  EXPECT_FALSE(decodeString("abc", StringEncoding::UTF16));                             // odd length
}

TEST(StringEncoding, NarrowEncodingsRefuseWhatTheyCannotHold) {
  EXPECT_FALSE(encodeString("\xE2\x82\xAC", StringEncoding::ISOLatin1));
  EXPECT_FALSE(encodeString("\xC3\xA9", StringEncoding::ASCII));
  EXPECT_FALSE(encodeString("\xE6\x97\xA5", StringEncoding::WindowsCP1252));
  EXPECT_FALSE(encodeString("bad \xFF", StringEncoding::UTF8));
  EXPECT_EQ(*encodeString("\xE2\x82\xAC", StringEncoding::WindowsCP1252), "\x80");
  EXPECT_FALSE(decodeString("caf\xE9", StringEncoding::ASCII));
  EXPECT_EQ(*decodeString("caf\xE9", StringEncoding::ISOLatin1), "caf\xC3\xA9");
  EXPECT_EQ(*decodeString("\xEF\xBB\xBFok", StringEncoding::UTF8), "ok");
}

TEST(StringEncoding, DetectionPrefersMarksThenUTF8ThenWindows1252) {
  auto utf8 = detectStringEncoding("Origin: caf\xC3\xA9\n");
  EXPECT_EQ(utf8.encoding, StringEncoding::UTF8);
  EXPECT_EQ(utf8.text, "Origin: caf\xC3\xA9\n");

  auto latin = detectStringEncoding("Origin: caf\xE9\n");
  EXPECT_EQ(latin.encoding, StringEncoding::WindowsCP1252);
  EXPECT_EQ(latin.text, "Origin: caf\xC3\xA9\n");

  auto bom16 = detectStringEncoding("\xFF\xFEO\0k\0"s);
  EXPECT_EQ(bom16.encoding, StringEncoding::UTF16);
  EXPECT_EQ(bom16.text, "Ok");

  auto bare16 = detectStringEncoding("\0O\0r\0i\0g\0i\0n"s);
  EXPECT_EQ(bare16.encoding, StringEncoding::UTF16BigEndian);
  EXPECT_EQ(bare16.text, "Origin");

  auto bom32 = detectStringEncoding("\xFF\xFE\0\0O\0\0\0"s);
  EXPECT_EQ(bom32.encoding, StringEncoding::UTF32);
  EXPECT_EQ(bom32.text, "O");

  auto empty = detectStringEncoding("");
  EXPECT_EQ(empty.encoding, StringEncoding::UTF8);
  EXPECT_EQ(empty.text, "");
}

}  // namespace
