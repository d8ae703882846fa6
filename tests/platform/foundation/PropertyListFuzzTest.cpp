// The property-list reader's fuzz target run briefly on a corpus of real inputs.
#include <gtest/gtest.h>

#include "PropertyListFuzzTarget.h"
#include "support/BriefFuzz.h"
#include "support/TestData.h"

TEST(PropertyListFuzz, CorpusAndMutationsRunCleanly) {
  BriefFuzz::Run run;
  run.inputs = BriefFuzz::filesIn(testdata::fixture("fuzz/plist"));
  run.pieces = {"<array>", "</array>", "<dict>", "</dict>", "<key>k</key>", "<string>", "<data>AA==</data>",
                "<date>2020-01-01T00:00:00Z</date>", "<integer>-1</integer>", "<real>nan</real>", "<true/>",
                "<array a=\"1\">", "<!--", "-->", "<![CDATA[", "]]>", "&#0;", "&#x10FFFF;", "&lt;", std::string("\0", 1),
                "bplist00", "\xAF\x10\xFF", "\xDF\x13\x00\x00\x00\x00\x00\x00\x00\x10", "\x6F\x10\x04", "\x5F\x11\xFF\xFF",
                "\x13\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", "\x33\x41\xC3\x00\x00\x00\x00\x00\x00", "\x80\x01", "\x0F"};
  run.mutations = 20000;
  BriefFuzz::run(run, [](const uint8_t* data, size_t size) { runPropertyListFuzzTarget(data, size); });
}
