// Inputs built to find quadratic corners: deep nesting, thousands of unclosed and
// misnested formatting elements, huge attribute counts, long runs of markup characters.
// Each must parse in near-linear time: the bound is generous (a quadratic parse of these
// sizes would take minutes), it only stops a parse that has lost its way.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include "html/HTMLDocument.h"
#include "html/HTMLParser.h"
#include "support/TimeBound.h"

using namespace html;

namespace {

std::string repeat(const std::string& piece, size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

std::string numbered(const std::string& before, const std::string& after, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += before + std::to_string(i) + after;
  return out;
}

// Parses the page, checks it, and holds the parse to the bound.
void parseWithin(const std::string& page, const std::function<void(const HTMLDocument&)>& check,
                 double boundSeconds = 20) {
  auto start = std::chrono::steady_clock::now();
  auto document = HTMLDocument::documentWithString(std::string_view(page));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(seconds, testsupport::timeBound(boundSeconds)) << page.size() << " bytes";
  check(*document);
}

TEST(PathologicalInput, DeepNestingAndEndTagsNothingMatches) {
  const size_t depth = 200000;
  std::string page = repeat("<div>", depth) + "x" + repeat("</p>", 20000) + repeat("</section>", 100000) +
                     repeat("</x-unknown>", 100000);
  parseWithin(page, [&](const HTMLDocument& d) {
    EXPECT_EQ(d.nodesMatchingSelector("p").size(), 20000u);
    EXPECT_EQ(d.bodyElement()->textContent(), u"x");
  });
  parseWithin(repeat("<span>", depth) + repeat("</em>", 100000) + "y", [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->textContent(), u"y");
  });
  parseWithin("<svg>" + repeat("<g>", depth) + repeat("</x>", 100000) + "</svg>z", [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->textContent(), u"z");
  });
  parseWithin(repeat("<table><tr><td>", 20000) + "cell", [](const HTMLDocument& d) {
    EXPECT_EQ(d.nodesMatchingSelector("td").size(), 20000u);
  });
}

TEST(PathologicalInput, ThousandsOfUnclosedFormattingElements) {
  parseWithin(repeat("<b>", 100000) + "text" + repeat("<p>x", 1000), [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->textContent().size(), 1004u);
  });
  // All different, so none pushes another out of the list.
  parseWithin(numbered("<b class=c", ">", 5000) + repeat("<p>x", 2000), [](const HTMLDocument& d) {
    EXPECT_EQ(d.nodesMatchingSelector("p").size(), 2000u);
  });
  // Misnested: every end tag runs the adoption agency over a deep stack.
  parseWithin(repeat("<b><i><u><div>", 2500) + repeat("</b></i></u>", 2500) + "end", [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->textContent(), u"end");
  });
  parseWithin(repeat("<a>", 50000) + repeat("<nobr>", 50000) + "z", [](const HTMLDocument& d) {
    EXPECT_EQ(d.nodesMatchingSelector("a").size(), 50000u);
  });
  parseWithin("<table>" + repeat("<b>x</b>", 50000) + "</table>", [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->childAtIndex(50000)->serializedFragment(), u"<table></table>");
  });
}

TEST(PathologicalInput, HugeAttributeCounts) {
  std::string attributes = numbered(" a", "=v", 100000) + repeat(" a7=dup", 1000);
  parseWithin("<div" + attributes + ">x</div><svg" + attributes + "/>", [](const HTMLDocument& d) {
    HTMLElementRef div = d.firstNodeMatchingSelector("div");
    EXPECT_EQ(div->attributes().count(), 100000u);
    EXPECT_EQ(div->attributes().objectAtIndexedSubscript(99999), u"a99999");
    EXPECT_EQ(d.firstNodeMatchingSelector("svg")->attributes().count(), 100000u);
  });
  parseWithin(repeat("<p" + numbered(" x", "=1", 1000) + ">", 300), [](const HTMLDocument& d) {
    EXPECT_EQ(d.nodesMatchingSelector("p").size(), 300u);
  });
}

TEST(PathologicalInput, LongRunsOfMarkupCharacters) {
  parseWithin(repeat("<", 500000) + repeat("&", 500000) + repeat("&#", 200000) + "<!--" + repeat("-", 500000),
              [](const HTMLDocument& d) { EXPECT_NE(d.bodyElement(), nullptr); });
  parseWithin("<textarea>" + repeat("</textare", 100000), [](const HTMLDocument& d) {
    EXPECT_EQ(d.firstNodeMatchingSelector("textarea")->textContent().size(), 900000u);
  });
  parseWithin(repeat("<br>", 300000), [](const HTMLDocument& d) {
    EXPECT_EQ(d.bodyElement()->numberOfChildren(), 300000u);
    EXPECT_EQ(d.bodyElement()->innerHTML().size(), 1200000u);
  });
}

}  // namespace
