#include <gtest/gtest.h>

#include <string>

#include "core/NSDataHash.h"
#include "core/NSDataHex.h"
#include "core/NSStringHash.h"
#include "core/NSStringHex.h"

using namespace std::string_literals;

TEST(HashTest, MD5KnownAnswers) {
  // The test suite of RFC 1321, appendix A.5.
  const std::pair<std::string, std::string> suite[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
       "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  for (const auto& [text, digest] : suite) {
    EXPECT_EQ(NSStringHash::MD5Hash(text), digest) << text;
    EXPECT_EQ(NSDataHash::MD5Hash(dataFromString(text)), digest) << text;
  }
}

TEST(HashTest, TextIsHashedUpToItsFirstNulButDataWhole) {
  const std::string embedded = "abc\0def"s;
  EXPECT_EQ(NSStringHash::MD5Hash(embedded), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(NSStringHash::MD5Hash("\0abc"s), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_NE(NSDataHash::MD5Hash(dataFromString(embedded)), "900150983cd24fb0d6963f7d28e17f72");
  // Icon cache names hash the URL's UTF-8 bytes.
  EXPECT_EQ(NSStringHash::MD5Hash("https://repo.example/ï.png"),
            NSDataHash::MD5Hash(dataFromString("https://repo.example/ï.png")));
}

TEST(HexTest, DataRoundTripsThroughHex) {
  Data all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<uint8_t>(i));
  const std::string hex = NSDataHex::hexValue(all);
  ASSERT_EQ(hex.size(), 512u);
  EXPECT_EQ(hex.substr(0, 8), "00010203");
  EXPECT_EQ(hex.substr(504), "fcfdfeff");
  EXPECT_EQ(NSDataHex::hexStringWithData(all), hex);
  EXPECT_EQ(NSDataHex::dataWithHexString(hex), all);

  EXPECT_EQ(NSDataHex::hexValue(Data{}), "");
  EXPECT_EQ(NSDataHex::dataWithHexString(""), Data{});
  EXPECT_EQ(NSDataHex::dataWithHexString("DEADbeef"), (Data{0xDE, 0xAD, 0xBE, 0xEF}));
}

TEST(HexTest, MalformedHexTextIsRefused) {
  std::string error;
  EXPECT_EQ(NSDataHex::dataWithHexString("abc", &error), std::nullopt);
  EXPECT_EQ(error, "Hex strings should have an even number of digits (abc)");
  EXPECT_EQ(NSDataHex::dataWithHexString("00112g", &error), std::nullopt);
  EXPECT_EQ(error, "String should be all hex digits: 00112g (bad digit around 4)");
  EXPECT_EQ(NSDataHex::dataWithHexString("zz", &error), std::nullopt);
  EXPECT_EQ(error, "String should be all hex digits: zz (bad digit around 0)");
  // A NUL inside the text is a bad digit, not the text's end.
  EXPECT_EQ(NSDataHex::dataWithHexString("00\0"s "1", &error), std::nullopt);
  EXPECT_EQ(NSDataHex::dataWithHexString("0x10"), std::nullopt);
}

TEST(HexTest, TextHexIsItsUTF16CodeUnits) {
  EXPECT_EQ(NSStringHex::hexValue(""), "");
  EXPECT_EQ(NSStringHex::hexValue("Az"), "417a");
  EXPECT_EQ(NSStringHex::hexValue("é"), "e9");
  // Units above 0xFF take more than two digits.
  EXPECT_EQ(NSStringHex::hexValue("A€"), "4120ac");
  EXPECT_EQ(NSStringHex::hexValue("\xF0\x9F\x98\x80"), "d83dde00");  // U+1F600, a surrogate pair
  EXPECT_EQ(NSStringHex::hexValue("\n\t"), "0a09");
}
