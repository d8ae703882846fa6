#include "foundation/Value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "foundation/Base64.h"
#include "foundation/Files.h"
#include "foundation/StringEncoding.h"
#include "support/TempDir.h"

namespace {

Value sample() {
  Value v = Value::dict({
      {"name", "Quillbark \xC3\xA9\xE2\x82\xAC\xF0\x9F\x93\xA6"},  // é € and a four-byte emoji
      {"count", 42},
      {"negative", -17},
      {"ratio", 0.25},
      {"enabled", true},
      {"list", Value::array({1, "two", Value::array({3.5, false}), Value::dict({{"deep", "yes"}})})},
      {"empty", Value::dict()},
  });
  return v;
}

// --- JSON -----------------------------------------------------------------

TEST(ValueJSON, NestedValuesSurviveARoundTrip) {
  Value v = sample();
  for (bool pretty : {false, true}) {
    auto back = Value::fromJSON(v.toJSON(pretty));
    ASSERT_TRUE(back) << pretty;
    EXPECT_EQ(*back, v);
    EXPECT_TRUE((*back)["count"].isInteger());
    EXPECT_TRUE((*back)["ratio"].isReal());
    EXPECT_TRUE((*back)["enabled"].isBool());
    EXPECT_EQ((*back)["list"][3]["deep"].asString(), "yes");
    EXPECT_EQ((*back)["name"].asString(), *v["name"].stringPtr());
  }
}

TEST(ValueJSON, UnicodeEscapesAndBigIntegersReadExactly) {
  auto v = Value::fromJSON(R"({"s":"caf\u00e9 \ud83d\udce6","big":9007199254740993,
                              "max":9223372036854775807,"min":-9223372036854775808,
                              "huge":18446744073709551615})");
  ASSERT_TRUE(v);
  EXPECT_EQ((*v)["s"].asString(), "caf\xC3\xA9 \xF0\x9F\x93\xA6");
  // 2^53 + 1 is not a double: it must stay an integer.
  EXPECT_TRUE((*v)["big"].isInteger());
  EXPECT_EQ((*v)["big"].asInt(), 9007199254740993LL);
  EXPECT_EQ((*v)["max"].asInt(), INT64_MAX);
  EXPECT_EQ((*v)["min"].asInt(), INT64_MIN);
  // Past the integer range: kept as a number rather than wrapped to a negative one.
  EXPECT_GT((*v)["huge"].asDouble(), 1.8e19);
  EXPECT_EQ(Value::fromJSON(Value(INT64_MAX).toJSON())->asInt(), INT64_MAX);
}

TEST(ValueJSON, InvalidTextGivesNothingWithAReason) {
  for (const char* bad : {"", "{", "{\"a\":}", "[1,2", "nul", "{\"a\":1}}", "'single'", "\"\xff\""}) {
    std::string error;
    EXPECT_FALSE(Value::fromJSON(bad, &error)) << bad;
    EXPECT_FALSE(error.empty()) << bad;
  }
  EXPECT_FALSE(Value::fromJSON(dataFromString("[1,")));
  EXPECT_TRUE(Value::fromJSON(dataFromString(" [1] ")));
}

TEST(ValueJSON, DeepNestingIsRefusedRatherThanOverflowingTheStack) {
  std::string deep(200000, '[');
  deep += std::string(200000, ']');
  EXPECT_FALSE(Value::fromJSON(deep));
  std::string fine(100, '[');
  fine += std::string(100, ']');
  EXPECT_TRUE(Value::fromJSON(fine));
}

TEST(ValueJSON, InvalidUTF8InOutputIsReplacedNotThrown) {
  Value v = Value::dict({{"bad", std::string("a\xff\xfe" "b")}, {"ok", "c"}});
  std::string text;
  EXPECT_NO_THROW(text = v.toJSON());
  auto back = Value::fromJSON(text);
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)["ok"].asString(), "c");
  std::string bad = (*back)["bad"].asString();
  EXPECT_EQ(bad.front(), 'a');
  EXPECT_EQ(bad.back(), 'b');
}

TEST(ValueJSON, DatesDataAndNonFiniteNumbersBecomeJSONTypes) {
  Value v = Value::dict({{"date", Date::fromUnix(1700000000)},
                         {"data", Value(dataFromString("hi!"))},
                         {"inf", std::numeric_limits<double>::infinity()}});
  auto back = Value::fromJSON(v.toJSON());
  ASSERT_TRUE(back);
  EXPECT_EQ((*back)["date"].asString(), "2023-11-14T22:13:20Z");
  EXPECT_EQ((*back)["data"].asString(), "aGkh");
  EXPECT_TRUE((*back)["inf"].isNull());
}

TEST(Base64, EncodesEveryTailLengthAndDecodesLeniently) {
  const std::string bytes = "\x00\xff\x10 quillbark";
  for (size_t n = 0; n <= bytes.size(); ++n) {
    std::string part = bytes.substr(0, n);
    std::string text = Base64::encode(part);
    EXPECT_EQ(text.size() % 4, 0u);
    auto back = Base64::decode(text);
    ASSERT_TRUE(back) << n;
    EXPECT_EQ(stringFromData(*back), part) << n;
  }
  EXPECT_EQ(Base64::encode(std::string_view("hi!")), "aGkh");
  EXPECT_EQ(Base64::encode(std::string_view("hi")), "aGk=");
  EXPECT_EQ(stringFromData(*Base64::decode(" aG\r\nkh ")), "hi!");
  EXPECT_EQ(stringFromData(*Base64::decode("-_8")), "\xfb\xff");  // the URL alphabet too
  EXPECT_EQ(stringFromData(*Base64::decode("aGk=aGk=")), "hihi");  // groups after padding stay aligned
  EXPECT_FALSE(Base64::decode("aGk*"));
  EXPECT_FALSE(Base64::decode("\xc3\xa9"));
}

// --- Property lists --------------------------------------------------------

TEST(ValuePropertyList, XMLAndBinaryRoundTripsKeepTypesAndValues) {
  Value v = sample();
  v.set("blob", Value(Data{0, 1, 2, 0xff, 0x80}));
  v.set("emptyBlob", Value(Data{}));
  v.set("min", Value(INT64_MIN));
  v.set("max", Value(INT64_MAX));
  for (bool binary : {false, true}) {
    Data bytes = binary ? v.toBinaryPropertyList() : v.toXMLPropertyList();
    ASSERT_FALSE(bytes.empty());
    if (binary) EXPECT_EQ(stringFromData(bytes).substr(0, 8), "bplist00");
    else EXPECT_NE(stringFromData(bytes).find("<plist"), std::string::npos);
    auto back = Value::fromPropertyList(bytes);
    ASSERT_TRUE(back) << binary;
    EXPECT_EQ(*back, v) << (binary ? "binary" : "xml");
    EXPECT_EQ((*back)["negative"].asInt(), -17);
    EXPECT_TRUE((*back)["negative"].isInteger());
    EXPECT_EQ((*back)["min"].asInt(), INT64_MIN);
    EXPECT_EQ((*back)["max"].asInt(), INT64_MAX);
    EXPECT_EQ(*(*back)["blob"].dataPtr(), (Data{0, 1, 2, 0xff, 0x80}));
    EXPECT_TRUE((*back)["emptyBlob"].isData());
  }
}

TEST(ValuePropertyList, XMLWritesNegativeIntegersAsSignedText) {
  std::string xml = stringFromData(Value::dict({{"n", -5}}).toXMLPropertyList());
  EXPECT_NE(xml.find("<integer>-5</integer>"), std::string::npos) << xml;
}

TEST(ValuePropertyList, DatesSurviveBothFormsToTheSecond) {
  // A date after the reference date, one before it, and one with a fraction.
  for (double unix : {1700000000.0, 946684799.0, 1234567890.75, 946684798.25, 978307199.5}) {
    Date d = Date::fromUnix(unix);
    Value v = Value::dict({{"when", d}});
    for (bool binary : {false, true}) {
      auto back = Value::fromPropertyList(binary ? v.toBinaryPropertyList() : v.toXMLPropertyList());
      ASSERT_TRUE(back);
      const Date* got = (*back)["when"].datePtr();
      ASSERT_NE(got, nullptr) << unix << (binary ? " binary" : " xml");
      EXPECT_NEAR(got->unixSeconds(), unix, 1.0) << unix << (binary ? " binary" : " xml");
      EXPECT_EQ(static_cast<int64_t>(got->unixSeconds()), static_cast<int64_t>(unix));
    }
  }
  // The XML form carries the calendar date itself.
  std::string xml = stringFromData(Value::dict({{"when", Date::fromUnix(1700000000)}}).toXMLPropertyList());
  EXPECT_NE(xml.find("<date>2023-11-14T22:13:20Z</date>"), std::string::npos) << xml;
}

TEST(ValuePropertyList, DistantDatesReadBackAsWritten) {
  for (Date d : {Date::distantFuture(), Date::distantPast()}) {
    for (bool binary : {false, true}) {
      Value v = Value::dict({{"when", d}});
      auto back = Value::fromPropertyList(binary ? v.toBinaryPropertyList() : v.toXMLPropertyList());
      ASSERT_TRUE(back);
      ASSERT_TRUE((*back)["when"].isDate());
      EXPECT_EQ(*(*back)["when"].datePtr(), d) << (binary ? "binary" : "xml");
    }
  }
}

TEST(ValuePropertyList, ReadsAHandWrittenXMLFile) {
  const char* text = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>ProductName</key>
	<string>iPhone OS</string>
	<key>ProductVersion</key>
	<string>14.4</string>
	<key>Retries</key>
	<integer>-3</integer>
	<key>Scale</key>
	<real>2.5</real>
	<key>Enabled</key>
	<true/>
	<key>Hidden</key>
	<false/>
	<key>Since</key>
	<date>2021-02-01T10:00:00Z</date>
	<key>Blob</key>
	<data>
	aGVsbG8=
	</data>
	<key>Sources</key>
	<array>
		<string>https://repo.example/</string>
		<dict><key>Escaped</key><string>a &amp; b &lt;c&gt;</string></dict>
	</array>
</dict>
</plist>
)";
  TempDir dir;
  ASSERT_TRUE(Files::writeAtomically(dir.file("Info.plist"), std::string(text)));
  std::string error;
  auto v = Value::fromPropertyListFile(dir.file("Info.plist"), &error);
  ASSERT_TRUE(v) << error;
  EXPECT_EQ((*v)["ProductVersion"].asString(), "14.4");
  EXPECT_EQ((*v)["Retries"].asInt(), -3);
  EXPECT_DOUBLE_EQ((*v)["Scale"].asDouble(), 2.5);
  EXPECT_TRUE((*v)["Enabled"].isBool());
  EXPECT_TRUE((*v)["Enabled"].asBool());
  EXPECT_FALSE((*v)["Hidden"].asBool(true));
  ASSERT_TRUE((*v)["Since"].isDate());
  EXPECT_DOUBLE_EQ((*v)["Since"].datePtr()->unixSeconds(), 1612173600.0);
  EXPECT_EQ(stringFromData(*(*v)["Blob"].dataPtr()), "hello");
  EXPECT_EQ((*v)["Sources"].size(), 2u);
  EXPECT_EQ((*v)["Sources"][1]["Escaped"].asString(), "a & b <c>");

  EXPECT_FALSE(Value::fromPropertyListFile(dir.file("missing.plist"), &error));
  EXPECT_FALSE(Value::fromPropertyList(dataFromString("<plist><dict><key>a</key>")));
  EXPECT_FALSE(Value::fromPropertyList(Data{}));
}

// A binary property list whose objects are all arrays; objects[i] lists the objects
// that array i holds. Object 0 is the top.
Data binaryArrays(const std::vector<std::vector<uint32_t>>& objects) {
  Data b = dataFromString("bplist00");
  auto put = [&b](uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  std::vector<uint64_t> offsets;
  for (const auto& refs : objects) {
    offsets.push_back(b.size());
    if (refs.size() < 15) {
      b.push_back(static_cast<uint8_t>(0xA0 | refs.size()));
    } else {
      b.push_back(0xAF);
      b.push_back(0x12);
      put(refs.size(), 4);
    }
    for (uint32_t r : refs) put(r, 4);
  }
  uint64_t table = b.size();
  for (uint64_t o : offsets) put(o, 4);
  for (int i = 0; i < 6; ++i) b.push_back(0);
  b.push_back(4);  // offset size
  b.push_back(4);  // reference size
  put(objects.size(), 8);
  put(0, 8);
  put(table, 8);
  return b;
}

TEST(ValuePropertyList, HostileShapesAreRefusedWithoutExhaustingStackOrMemory) {
  // A sane hand-made list reads, so the refusals below are about shape alone.
  auto sane = Value::fromPropertyList(binaryArrays({{1, 2}, {2}, {}}));
  ASSERT_TRUE(sane);
  EXPECT_EQ(*sane, Value::array({Value::array({Value::array()}), Value::array()}));

  // Nested a hundred thousand deep.
  std::vector<std::vector<uint32_t>> chain;
  for (uint32_t i = 0; i < 100000; ++i) chain.push_back(i + 1 < 100000 ? std::vector<uint32_t>{i + 1} : std::vector<uint32_t>{});
  std::string error;
  EXPECT_FALSE(Value::fromPropertyList(binaryArrays(chain), &error));
  EXPECT_FALSE(error.empty());

  // Each array holds the next one twice: 2^60 copies once expanded.
  std::vector<std::vector<uint32_t>> doubling;
  for (uint32_t i = 0; i < 60; ++i) doubling.push_back({i + 1, i + 1});
  doubling.push_back({});
  EXPECT_FALSE(Value::fromPropertyList(binaryArrays(doubling)));
  // A few levels of sharing are fine.
  auto shared = Value::fromPropertyList(binaryArrays({{1, 1, 1}, {2, 2}, {}}));
  ASSERT_TRUE(shared);
  EXPECT_EQ((*shared)[2][1].size(), 0u);

  // An array that holds itself, or an object number past the end.
  EXPECT_FALSE(Value::fromPropertyList(binaryArrays({{1}, {0}})));
  EXPECT_FALSE(Value::fromPropertyList(binaryArrays({{7}})));
  Data truncated = binaryArrays({{1}, {}});
  truncated.resize(truncated.size() - 5);
  EXPECT_FALSE(Value::fromPropertyList(truncated));

  // XML nested a million deep.
  std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  for (int i = 0; i < 1000000; ++i) xml += "<array>";
  for (int i = 0; i < 1000000; ++i) xml += "</array>";
  xml += "</plist>";
  EXPECT_FALSE(Value::fromPropertyList(dataFromString(xml)));

  // Moderate nesting in both forms still reads; empty containers written as <array/> don't count.
  Value nested = Value::array();
  for (int i = 0; i < 100; ++i) nested = Value::array({nested, Value::dict()});
  EXPECT_EQ(Value::fromPropertyList(nested.toBinaryPropertyList()), nested);
  EXPECT_EQ(Value::fromPropertyList(nested.toXMLPropertyList()), nested);
  std::string flat = "<plist version=\"1.0\"><array>";
  for (int i = 0; i < 2000; ++i) flat += "<array/><dict/><array></array>";
  flat += "</array></plist>";
  auto wide = Value::fromPropertyList(dataFromString(flat));
  ASSERT_TRUE(wide);
  EXPECT_EQ(wide->size(), 6000u);
}

// A binary list of the given objects (each its marker and bytes), one-byte offsets and
// references, the first object at the top.
Data binaryObjects(const std::vector<std::string>& objects) {
  Data b = dataFromString("bplist00");
  std::vector<uint8_t> offsets;
  for (const auto& o : objects) {
    offsets.push_back(static_cast<uint8_t>(b.size()));
    b.insert(b.end(), o.begin(), o.end());
  }
  uint64_t table = b.size();
  b.insert(b.end(), offsets.begin(), offsets.end());
  for (int i = 0; i < 6; ++i) b.push_back(0);
  b.push_back(1);
  b.push_back(1);
  for (uint64_t v : {uint64_t(objects.size()), uint64_t(0), table})
    for (int i = 7; i >= 0; --i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  return b;
}

TEST(ValuePropertyList, AStringOrKeyHoldingUPlus0000IsText) {
  // "a", U+0000, "b" in UTF-16, alone and as a dictionary's key; and in ASCII.
  const std::string utf16("\x63\0a\0\0\0b", 7), ascii("\x52" "a\0", 3);
  auto alone = Value::fromPropertyList(binaryObjects({utf16}));
  ASSERT_TRUE(alone);
  EXPECT_EQ(*alone, Value(std::string("a\0b", 3)));
  std::string error;
  auto keyed = Value::fromPropertyList(binaryObjects({"\xD2\x01\x02\x03\x04", utf16, ascii, "\x51v", "\x09"}), &error);
  ASSERT_TRUE(keyed) << error;
  EXPECT_EQ((*keyed)[std::string("a\0b", 3)], Value("v"));
  EXPECT_EQ((*keyed)[std::string("a\0b", 2)], Value(true));  // the ASCII key: "a", U+0000
  EXPECT_EQ(keyed->size(), 2u);
  // A key that is no string is a malformed list.
  EXPECT_FALSE(Value::fromPropertyList(binaryObjects({"\xD1\x01\x02", "\x10\x05", "\x09"}), &error));
  EXPECT_EQ(error, "The data couldn't be read because it isn't in the correct format.");
}

TEST(ValuePropertyList, XMLNestingIsLimitedWhateverTheElementsCarry) {
  // Two hundred thousand containers deep, each with an attribute.
  std::string deep = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
  for (int i = 0; i < 200000; ++i) deep += i % 2 ? "<array a=\"x>y\">" : "<dict\tb='1'>";
  std::string error;
  EXPECT_FALSE(Value::fromPropertyList(dataFromString(deep), &error));
  EXPECT_EQ(error, "The data couldn't be read because it nests containers more than 512 levels deep.");
  // Markup that the library ends sooner than a reader of XML would, hiding the nesting
  // from such a reader: a ">" in single quotes, a "<?>" that is a whole instruction to
  // the library, a "]>" in a comment of a document type's subset.
  for (const auto& [open, close] : std::vector<std::pair<std::string, std::string>>{
           {"<array a='>", "'>"}, {"<?>", "?>"}, {"<!DOCTYPE x [<!-- ]>", "-->]>"}}) {
    std::string shaped = "<plist version=\"1.0\">" + open;
    for (int i = 0; i < 300000; ++i) shaped += "<array>";
    EXPECT_FALSE(Value::fromPropertyList(dataFromString(shaped + close), &error)) << open;
  }
  // Self-closing elements with attributes, and markup inside comments, don't nest.
  std::string flat = "<plist version=\"1.0\"><array><!-- ";
  for (int i = 0; i < 1000; ++i) flat += "<array>";
  flat += " -->";
  for (int i = 0; i < 1000; ++i) flat += "<array a=\"1\"/><string>&lt;array&gt;</string>";
  flat += "</array></plist>";
  auto wide = Value::fromPropertyList(dataFromString(flat), &error);
  ASSERT_TRUE(wide) << error;
  EXPECT_EQ(wide->size(), 2000u);
}

// Dates of any year, integers up to 2^64 - 1 and lists written in UTF-16 read exactly,
// in XML as in binary.
TEST(ValuePropertyList, DatesOfAnyYearUnsignedIntegersAndUTF16ListsReadExactly) {
  auto xml = [](const std::string& body) {
    return Value::fromPropertyList(dataFromString("<?xml version=\"1.0\"?><plist version=\"1.0\">" + body + "</plist>"));
  };
  auto bigEndian = [](uint64_t bits, int bytes) {
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>(bits >> (8 * i));
    return out;
  };
  for (auto [text, seconds] : std::vector<std::pair<std::string, double>>{
           {"0001-01-01T00:00:00Z", -63113904000.0}, {"4000-12-31T23:59:59Z", 63113903999.0},
           {"1900-06-15T12:00:00Z", -3172996800.0}}) {
    auto read = xml("<date>" + text + "</date>");
    ASSERT_TRUE(read && read->isDate()) << text;
    EXPECT_EQ(read->datePtr()->seconds, seconds) << text;
    uint64_t bits;
    std::memcpy(&bits, &seconds, 8);
    auto binary = Value::fromPropertyList(binaryObjects({"\x33" + bigEndian(bits, 8)}));
    ASSERT_TRUE(binary && binary->isDate()) << text;
    EXPECT_EQ(binary->datePtr()->seconds, seconds) << text;
  }

  auto top = xml("<integer>18446744073709551615</integer>");
  ASSERT_TRUE(top && top->isInteger());
  EXPECT_TRUE(top->isUnsigned());
  EXPECT_EQ(top->asUnsigned(), UINT64_MAX);
  EXPECT_EQ(top->asString(), "18446744073709551615");
  EXPECT_EQ(top->asInt(), INT64_MAX) << "never negative";
  EXPECT_EQ(xml("<integer>9223372036854775808</integer>")->asUnsigned(), uint64_t(1) << 63);
  EXPECT_EQ(xml("<integer>-9223372036854775808</integer>")->asInt(), INT64_MIN);
  EXPECT_FALSE(xml("<integer>18446744073709551616</integer>")) << "past 2^64 - 1";
  auto binary = Value::fromPropertyList(binaryObjects({"\x14" + bigEndian(0, 8) + bigEndian(UINT64_MAX, 8)}));
  ASSERT_TRUE(binary);
  EXPECT_EQ(*binary, Value(uint64_t(UINT64_MAX)));
  EXPECT_NE(*binary, Value(-1));
  for (bool binaryForm : {false, true}) {
    Value v = Value::dict({{"n", uint64_t(UINT64_MAX)}});
    auto back = Value::fromPropertyList(binaryForm ? v.toBinaryPropertyList() : v.toXMLPropertyList());
    ASSERT_TRUE(back) << binaryForm;
    EXPECT_EQ((*back)["n"], Value(uint64_t(UINT64_MAX))) << binaryForm;  // the value: -1 has the same bits
  }

  // UTF-16 with its byte-order mark (big-endian) and without one (little-endian).
  std::string text = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><plist version=\"1.0\"><dict><key>caf\xC3\xA9</key>"
                     "<string>\xE2\x82\xAC \xF0\x9F\x93\xA6</string></dict></plist>";
  std::string little;
  for (char16_t unit : utf16FromUTF8(text)) little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  for (const std::string& bytes : {*encodeString(text, StringEncoding::UTF16), little}) {
    std::string error;
    auto read = Value::fromPropertyList(dataFromString(bytes), &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(*read, Value::dict({{"caf\xC3\xA9", "\xE2\x82\xAC \xF0\x9F\x93\xA6"}}));
  }
  // A list that declares entities of its own is refused; the five of XML read.
  EXPECT_FALSE(Value::fromPropertyList(dataFromString(
      "<!DOCTYPE plist [<!ENTITY a \"aaaa\">]><plist version=\"1.0\"><string>&a;&a;</string></plist>")));
  EXPECT_EQ(xml("<string>&lt;&amp;&gt;&quot;&apos;&#x41;</string>"), Value("<&>\"'A"));
}

// --- Lenient readings and equality -----------------------------------------

TEST(ValueReadings, BoolFromTextFollowsThePlatformRules) {
  for (const char* yes : {"YES", "yes", "true", "True", "1", "  7", "+3", "-1", "0010", "y"})
    EXPECT_TRUE(Value(yes).asBool()) << yes;
  for (const char* no : {"NO", "no", "false", "0", "000", "", "   ", "abc", "0.5", "-0"})
    EXPECT_FALSE(Value(no).asBool()) << no;
  EXPECT_TRUE(Value(2).asBool());
  EXPECT_FALSE(Value(0.0).asBool());
  EXPECT_TRUE(Value(0.1).asBool());
  EXPECT_TRUE(Value().asBool(true));
  EXPECT_TRUE(Value::array({1}).asBool(true));
}

TEST(ValueReadings, NumbersFromTextReadTheLeadingNumber) {
  EXPECT_EQ(Value("12abc").asInt(), 12);
  EXPECT_EQ(Value("  -40 ").asInt(), -40);
  EXPECT_EQ(Value("abc").asInt(7), 0);  // a text without a number reads as 0, like the platform
  EXPECT_EQ(Value("3.9").asInt(), 3);
  EXPECT_EQ(Value(3.9).asInt(), 3);
  EXPECT_EQ(Value(1e300).asInt(), INT64_MAX);
  EXPECT_EQ(Value(-1e300).asInt(), INT64_MIN);
  EXPECT_EQ(Value(true).asInt(), 1);
  EXPECT_EQ(Value().asInt(7), 7);
  EXPECT_DOUBLE_EQ(Value(" 2.5kg").asDouble(), 2.5);
  EXPECT_DOUBLE_EQ(Value("+.5").asDouble(), 0.5);
  EXPECT_DOUBLE_EQ(Value("-1e3x").asDouble(), -1000);
  EXPECT_DOUBLE_EQ(Value("0x10").asDouble(), 0);  // no hexadecimal, as on the platform
  EXPECT_EQ(Value("1e999").asDouble(), HUGE_VAL);
  EXPECT_EQ(Value("-1e999").asDouble(), -HUGE_VAL);
  EXPECT_EQ(Value("1e-999").asDouble(), 0);
  EXPECT_EQ(Value(0.1 + 0.2).asString(), "0.3");
  EXPECT_EQ(Value(1e20).asString(), "1e+20");
  EXPECT_DOUBLE_EQ(Value("x").asDouble(4), 0);
  EXPECT_DOUBLE_EQ(Value(Value::dict()).asDouble(4), 4);
  EXPECT_EQ(Value(3.0).asString(), "3");
  EXPECT_EQ(Value(2.5).asString(), "2.5");
  EXPECT_EQ(Value(-12).asString(), "-12");
  EXPECT_EQ(Value(false).asString(), "0");
  EXPECT_EQ(Value::array().asString("none"), "none");
  EXPECT_FALSE(Value(5).optString());
  EXPECT_EQ(Value("t").optString(), "t");
}

TEST(ValueReadings, NumbersCompareByValueAcrossKinds) {
  EXPECT_EQ(Value(1), Value(1.0));
  EXPECT_EQ(Value(true), Value(1));
  EXPECT_EQ(Value(false), Value(0.0));
  EXPECT_NE(Value(1), Value(1.5));
  EXPECT_NE(Value(1), Value("1"));
  EXPECT_NE(Value(), Value(0));
  EXPECT_EQ(Value(INT64_MAX), Value(INT64_MAX));
  EXPECT_NE(Value(INT64_MAX), Value(INT64_MAX - 1));
  EXPECT_EQ(Value::array({1, 2.0}), Value::array({1.0, 2}));
  EXPECT_EQ(Value::dict({{"a", 1}}), Value::dict({{"a", true}}));
  EXPECT_NE(Value::dict({{"a", 1}}), Value::dict({{"b", 1}}));
}

TEST(ValueContainers, MissingEntriesReadAsNullAndWritesMakeContainers) {
  Value v;
  EXPECT_TRUE(v["a"]["b"][3].isNull());
  v.set("a", 1).set("b", "x");
  EXPECT_TRUE(v.isDictionary());
  EXPECT_EQ(v.keys(), (std::vector<std::string>{"a", "b"}));
  EXPECT_TRUE(v.contains("a"));
  EXPECT_TRUE(v.erase("a"));
  EXPECT_FALSE(v.erase("a"));
  EXPECT_EQ(v.size(), 1u);
  Value list;
  list.push_back(1);
  list.push_back("two");
  EXPECT_EQ(list.size(), 2u);
  EXPECT_TRUE(list[5].isNull());
  EXPECT_EQ(Value(5).size(), 0u);
  EXPECT_TRUE(Value("text").empty());
}

}  // namespace
