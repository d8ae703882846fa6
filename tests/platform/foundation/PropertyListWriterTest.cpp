// What the program writes as a property list, XML or binary, reads back as the same
// value: by our own reader, compared as values (an unsigned 2^64 - 1 is not -1), and by
// another reader, Python's plistlib.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/TempDir.h"

namespace {

const char* formName(bool binary) { return binary ? "binary" : "XML"; }

Data written(const Value& value, bool binary) {
  return binary ? value.toBinaryPropertyList() : value.toXMLPropertyList();
}

// Dates of whole seconds: the XML form holds no fraction.
Value edges() {
  return Value::dict({
      {"small", -1},
      {"min", Value(INT64_MIN)},
      {"top63", Value(uint64_t(1) << 63)},
      {"top64", Value(UINT64_MAX)},
      {"year1", Date{-63113904000.0}},        // 0001-01-01T00:00:00Z
      {"year4000", Date{63113903999.0}},      // 4000-12-31T23:59:59Z
      {"beforeYear1", Date{-63145526400.0}},  // -0001-01-01T00:00:00Z
      {"lines", "a\rb\r\nc\n"},
      {"key\rwith CR", true},
  });
}

// Containers nested `levels` deep.
Value nested(int levels) {
  Value value = Value::array();
  for (int i = 1; i < levels; ++i) {
    if (i % 2) {
      Value::Dictionary entries;
      entries.emplace("k", std::move(value));
      value = Value(std::move(entries));
    } else {
      Value::Array items;
      items.push_back(std::move(value));
      value = Value(std::move(items));
    }
  }
  return value;
}

std::string run(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
  pclose(pipe);
  return out;
}

}  // namespace

TEST(PropertyListWriter, EdgeValuesReadBackAsWritten) {
  const Value value = edges();
  for (bool binary : {false, true}) {
    std::string error;
    auto back = Value::fromPropertyList(written(value, binary), &error);
    ASSERT_TRUE(back) << formName(binary) << ": " << error;
    EXPECT_EQ(*back, value) << formName(binary);
    EXPECT_TRUE((*back)["top64"].isUnsigned()) << formName(binary);
    EXPECT_EQ((*back)["top64"].asString(), "18446744073709551615") << formName(binary);
    EXPECT_EQ((*back)["small"].asString(), "-1") << formName(binary);
    EXPECT_EQ((*back)["lines"].asString(), "a\rb\r\nc\n") << formName(binary);
  }
  std::string xml = stringFromData(value.toXMLPropertyList());
  for (const char* text : {"<integer>18446744073709551615</integer>", "<integer>9223372036854775808</integer>",
                           "<date>0001-01-01T00:00:00Z</date>", "<date>4000-12-31T23:59:59Z</date>",
                           "<string>a&#13;b&#13;\nc\n</string>", "<key>key&#13;with CR</key>"})
    EXPECT_NE(xml.find(text), std::string::npos) << text << "\n" << xml;
  // Dates far from now and reals keep every bit in the binary form.
  for (double seconds : {-1e15, 1e15, Date::distantPast().seconds, 0.5, -0.25}) {
    Value date = Value::dict({{"d", Date{seconds}}, {"r", seconds / 3}});
    EXPECT_EQ(Value::fromPropertyList(date.toBinaryPropertyList()), date) << seconds;
  }
}

TEST(PropertyListWriter, TheDepthLimitIsWhatItsMessageSays) {
  for (bool binary : {false, true}) {
    std::string error;
    const Value deepest = nested(512);
    auto back = Value::fromPropertyList(written(deepest, binary), &error);
    ASSERT_TRUE(back) << formName(binary) << ": " << error;
    EXPECT_EQ(*back, deepest) << formName(binary);
    EXPECT_FALSE(Value::fromPropertyList(written(nested(513), binary), &error)) << formName(binary);
    EXPECT_EQ(error, "The data couldn't be read because it nests containers more than 512 levels deep.");
  }
  // Written by hand: the plist element and the values inside the deepest container are
  // no levels.
  auto byHand = [](int levels) {
    std::string text = "<plist version=\"1.0\">";
    for (int i = 0; i < levels; ++i) text += "<array>";
    text += "<integer>7</integer>";
    for (int i = 0; i < levels; ++i) text += "</array>";
    return dataFromString(text + "</plist>");
  };
  EXPECT_TRUE(Value::fromPropertyList(byHand(512)));
  EXPECT_FALSE(Value::fromPropertyList(byHand(513)));
}

TEST(PropertyListWriter, AnotherReaderReadsTheSameValues) {
  if (run("python3 -c 'import plistlib; print(1)' 2>/dev/null") != "1\n") GTEST_SKIP() << "no python3 with plistlib";
  TempDir dir;
  Value value = edges();
  value.erase("beforeYear1");  // its dates begin at year 1
  value.set("deep", nested(512));
  for (bool binary : {false, true}) {
    const std::string path = dir.file(binary ? "list.bplist" : "list.plist");
    ASSERT_TRUE(Files::writeAtomically(path, written(value, binary)));
    const std::string script =
        "import plistlib, sys\n"
        "sys.setrecursionlimit(10000)  # its binary reader recurses twice a level\n"
        "def depth(v):\n"
        "    n = 0\n"
        "    while isinstance(v, (list, dict)):\n"
        "        n, v = n + 1, (v[0] if isinstance(v, list) and v else v.get('k') if isinstance(v, dict) else None)\n"
        "    return n\n"
        "with open(sys.argv[1], 'rb') as f: d = plistlib.load(f)\n"
        "for k in sorted(d):\n"
        "    v = d[k]\n"
        "    shown = depth(v) if isinstance(v, (list, dict)) else v.isoformat() if hasattr(v, 'isoformat') else repr(v)\n"
        "    print(repr(k), type(v).__name__, shown)\n";
    ASSERT_TRUE(Files::writeAtomically(dir.file("read.py"), script));
    EXPECT_EQ(run("python3 " + dir.file("read.py") + " " + path + " 2>&1 | tail -12"),
              "'deep' dict 512\n"
              "'key\\rwith CR' bool True\n"
              "'lines' str 'a\\rb\\r\\nc\\n'\n"
              "'min' int -9223372036854775808\n"
              "'small' int -1\n"
              "'top63' int 9223372036854775808\n"
              "'top64' int 18446744073709551615\n"
              "'year1' datetime 0001-01-01T00:00:00\n"
              "'year4000' datetime 4000-12-31T23:59:59\n")
        << formName(binary);
  }
}
