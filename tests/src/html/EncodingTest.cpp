#include <gtest/gtest.h>

#include "html/HTMLDocument.h"
#include "html/HTMLEncoding.h"
#include "html/HTMLEncodingLabels.h"
#include "html/HTMLParser.h"

using namespace html;

namespace {

HTMLStringEncoding determine(std::string_view bytes, std::optional<std::string> contentType = std::nullopt,
                             String* text = nullptr) {
  String ignored;
  return DeterminedStringEncodingForData(bytes, contentType, text ? text : &ignored);
}

TEST(Encoding, LabelsAreFoundInAnyCaseWithBlanksAround) {
  EXPECT_EQ(EncodingLabelsCount, 219u);
  EXPECT_EQ(StringEncodingForLabel(u"UTF8"), NSUTF8StringEncoding);
  EXPECT_EQ(StringEncodingForLabel(u"  latin1\n"), NSWindowsCP1252StringEncoding);
  EXPECT_EQ(StringEncodingForLabel(u"utf-16"), NSUTF16LittleEndianStringEncoding);
  EXPECT_EQ(StringEncodingForLabel(u"koi8-ru"), StringEncodingForLabel(u"koi8-u"));
  EXPECT_EQ(StringEncodingForLabel(u"hz-gb-2312"), InvalidStringEncoding());
  EXPECT_EQ(StringEncodingForLabel(u"iso-2022-kr"), InvalidStringEncoding());
  EXPECT_EQ(StringEncodingForLabel(u"no such thing"), InvalidStringEncoding());
  EXPECT_TRUE(IsASCIICompatibleEncoding(StringEncodingForLabel(u"shift_jis")));
  EXPECT_FALSE(IsASCIICompatibleEncoding(NSUTF16BigEndianStringEncoding));
  EXPECT_TRUE(IsUTF16Encoding(NSUTF16LittleEndianStringEncoding));
  EXPECT_FALSE(IsUTF16Encoding(NSUnicodeStringEncoding));
}

TEST(Encoding, EveryEncodingOfTheTableDecodes) {
  for (size_t i = 0; i < EncodingLabelsCount; ++i) {
    if (EncodingLabels[i].encodingName == "replacement") continue;
    NSStringEncoding encoding = StringEncodingForLabel(fromUTF8(EncodingLabels[i].label));
    ASSERT_NE(encoding, InvalidStringEncoding()) << EncodingLabels[i].label;
    std::optional<String> text = DecodeStringWithEncoding("<p>abc", encoding);
    ASSERT_TRUE(text) << std::string(EncodingLabels[i].label);
    if (IsASCIICompatibleEncoding(encoding)) {
      EXPECT_EQ(*text, u"<p>abc") << EncodingLabels[i].label;
    }
  }
  EXPECT_EQ(DecodeStringWithEncoding("\xD2\xD4", StringEncodingForLabel(u"koi8-r")), u"\u0440\u0442");
  EXPECT_EQ(DecodeStringWithEncoding("\x82\xA0", StringEncodingForLabel(u"shift_jis")), u"\u3042");
  EXPECT_EQ(DecodeStringWithEncoding("\xA4\xDE", StringEncodingForLabel(u"iso-8859-16")), u"\u20AC\u021A");
}

TEST(Encoding, AByteOrderMarkDecidesAndIsDropped) {
  String text;
  HTMLStringEncoding e = determine("\xEF\xBB\xBF<!DOCTYPE html>", std::nullopt, &text);
  EXPECT_EQ(e, (HTMLStringEncoding{NSUTF8StringEncoding, HTMLEncodingConfidence::Certain}));
  EXPECT_EQ(text, u"<!DOCTYPE html>");
  EXPECT_EQ(determine(std::string_view("\xFF\xFEx\0", 4), std::nullopt, &text).encoding,
            NSUTF16LittleEndianStringEncoding);
  EXPECT_EQ(text, u"x");
  EXPECT_EQ(determine(std::string_view("\xFE\xFF\0x", 4), std::nullopt, &text).encoding,
            NSUTF16BigEndianStringEncoding);

  // The page keeps its DOCTYPE (no quirks) and gains no stray character.
  auto document = HTMLDocument::documentWithData(std::string_view("\xEF\xBB\xBF<!DOCTYPE html><p>x"), std::nullopt);
  EXPECT_EQ(document->quirksMode(), HTMLQuirksMode::NoQuirks);
  EXPECT_NE(document->documentType(), nullptr);
  EXPECT_EQ(document->bodyElement()->textContent(), u"x");
  // A meta element changes nothing once the mark has decided.
  auto marked = HTMLDocument::documentWithData(std::string_view("\xEF\xBB\xBF<meta charset=koi8-r>\xC3\xA9"),
                                               std::nullopt);
  EXPECT_EQ(marked->parsedStringEncoding(), NSUTF8StringEncoding);
  EXPECT_EQ(marked->bodyElement()->textContent(), u"\u00E9");
}

TEST(Encoding, InvalidUTF8AndUTF16BecomeReplacementCharacters) {
  String text;
  EXPECT_EQ(determine("\xEF\xBB\xBF" "a\xFF" "b", std::nullopt, &text).encoding, NSUTF8StringEncoding);
  EXPECT_EQ(text, u"a\uFFFDb");
  EXPECT_EQ(determine(std::string_view("\xFF\xFE" "a\0\0\xD8", 6), std::nullopt, &text).encoding,
            NSUTF16LittleEndianStringEncoding);
  EXPECT_EQ(text, u"a\uFFFD");
  auto document = HTMLDocument::documentWithData(std::string_view("caf\xC3\xA9 \xFF"), std::string("text/html; charset=utf-8"));
  EXPECT_EQ(document->parsedStringEncoding(), NSUTF8StringEncoding);
  EXPECT_EQ(document->bodyElement()->textContent(), u"caf\u00E9 \uFFFD");
}

TEST(Encoding, TheContentTypesCharset) {
  EXPECT_EQ(determine("x", std::string("text/html; charset=\"utf-8\"")),
            (HTMLStringEncoding{NSUTF8StringEncoding, HTMLEncodingConfidence::Certain}));
  // An unquoted label ends at ";" or white space.
  EXPECT_EQ(determine("x", std::string("text/html; CHARSET=koi8-r; format=flowed")).encoding,
            StringEncodingForLabel(u"koi8-r"));
  EXPECT_EQ(determine("x", std::string("text/html;charset=utf-8 ")).encoding, NSUTF8StringEncoding);
  // Unknown or replacement labels fall back.
  EXPECT_EQ(determine("x", std::string("text/html; charset=bogus")),
            (HTMLStringEncoding{NSWindowsCP1252StringEncoding, HTMLEncodingConfidence::Tentative}));
  EXPECT_EQ(determine("x", std::string("text/html; charset=hz-gb-2312")).encoding, NSWindowsCP1252StringEncoding);
}

TEST(Encoding, WithoutAnyHintBytesAreWindows1252) {
  String text;
  EXPECT_EQ(determine("caf\xE9 \x80", std::nullopt, &text),
            (HTMLStringEncoding{NSWindowsCP1252StringEncoding, HTMLEncodingConfidence::Tentative}));
  EXPECT_EQ(text, u"caf\u00E9 \u20AC");
  // A byte windows-1252 leaves undefined still makes a document.
  auto document = HTMLDocument::documentWithData(std::string_view("a\x81" "b"), std::nullopt);
  EXPECT_EQ(document->bodyElement()->textContent().size(), 3u);
}

TEST(Encoding, AMetaElementMakesOneReparse) {
  auto utf8 = HTMLDocument::documentWithData(std::string_view("<head><meta charset=utf-8></head><p>caf\xC3\xA9"),
                                             std::nullopt);
  EXPECT_EQ(utf8->parsedStringEncoding(), NSUTF8StringEncoding);
  EXPECT_EQ(utf8->bodyElement()->textContent(), u"caf\u00E9");
  // UTF-16 in a meta element means UTF-8.
  auto utf16 = HTMLDocument::documentWithData(std::string_view("<meta charset=utf-16><p>caf\xC3\xA9"), std::nullopt);
  EXPECT_EQ(utf16->parsedStringEncoding(), NSUTF8StringEncoding);
  auto equiv = HTMLDocument::documentWithData(
      std::string_view("<meta http-equiv=content-type content='text/html; charset=koi8-r'><p>\xD2"), std::nullopt);
  EXPECT_EQ(equiv->parsedStringEncoding(), StringEncodingForLabel(u"koi8-r"));
  EXPECT_EQ(equiv->bodyElement()->textContent(), u"\u0440");
  // The encoding already in use: no second parse, and the text stays.
  auto same = HTMLDocument::documentWithData(std::string_view("<meta charset=windows-1252><p>\xE9"), std::nullopt);
  EXPECT_EQ(same->parsedStringEncoding(), NSWindowsCP1252StringEncoding);
  // An unclosed quote names nothing; an empty charset attribute names nothing either.
  EXPECT_FALSE(ExtractCharsetFromContentAttribute(u"text/html; charset='utf-8"));
  EXPECT_EQ(ExtractCharsetFromContentAttribute(u"text/html; CHARSET = \"utf-8\""), u"utf-8");
  EXPECT_EQ(ExtractCharsetFromContentAttribute(u"charset;charset=x;y"), u"x");
  auto empty = HTMLDocument::documentWithData(
      std::string_view("<meta charset='' http-equiv=Content-Type content='text/html; charset=utf-8'><p>\xC3\xA9"),
      std::nullopt);
  EXPECT_EQ(empty->parsedStringEncoding(), NSWindowsCP1252StringEncoding);
}

TEST(Encoding, DocumentsFromTextAreNeverDecodedAgain) {
  auto document = HTMLDocument::documentWithString(std::string_view("<meta charset=koi8-r><p>\xC3\xA9"));
  EXPECT_EQ(document->parsedStringEncoding(), NSUTF8StringEncoding);
  EXPECT_EQ(document->bodyElement()->textContent(), u"\u00E9");
}

}  // namespace
