// Texts made to defeat a backtracking parser. Each is converted with no extension and
// with all of them, and must finish well within a generous bound: the parsers are
// near-linear on any text. (The bound only catches a return of quadratic or worse
// behaviour; speed itself is measured in bench/.)
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "markdown/MDExtensions.h"
#include "markdown/MDSpanParser.h"
#include "MarkdownTestSupport.h"
#include "support/TimeBound.h"

using namespace markdown;
using markdowntest::html;

namespace {

constexpr size_t size = 64 * 1024;
const double boundSeconds = testsupport::timeBound(10.0);

std::string repeated(const std::string& unit, size_t bytes = size) {
  std::string out;
  while (out.size() < bytes) out += unit;
  return out;
}

std::string generated(const std::function<std::string(size_t)>& line, size_t bytes = size) {
  std::string out;
  for (size_t i = 0; out.size() < bytes; ++i) out += line(i);
  return out;
}

struct Case {
  const char* name;
  std::string text;
};

std::vector<Case> pathologicalTexts() {
  return {
      {"unclosed strikethrough", repeated("~~a ")},
      {"strikethrough lines", repeated("~~a\n")},
      {"unclosed emphasis mixtures", repeated("*a **a ")},
      {"unclosed underscore mixtures", repeated("_a __a ")},
      {"triple markers", repeated("***a ")},
      {"strong inside emphasis", repeated("*a **b** ")},
      {"markers only", repeated("*_")},
      {"unclosed block tags on a line", repeated("<div>")},
      {"unclosed block tags on lines", repeated("<p>\n")},
      {"nested block tags closed late", repeated("<div><p>", size / 2) + repeated("</p></div>", size / 2)},
      {"opening brackets", repeated("[")},
      {"closing brackets", repeated("]")},
      {"link text then parenthesis", repeated("[a](")},
      {"unclosed link targets", repeated("[a](b")},
      {"link targets with pairs", repeated("[a](()")},
      {"unclosed link titles", repeated("[a](b \"")},
      {"reference link openings", repeated("[a] [")},
      {"image openings", repeated("![")},
      {"backtick runs", generated([](size_t i) { return std::string(i % 300 + 1, '`') + "a "; })},
      {"single backticks", repeated("`a ")},
      {"one run of backticks", std::string(size, '`')},
      {"runs of backticks shortening", generated([](size_t i) { return std::string(400 - i % 400, '`') + " "; })},
      {"angle brackets", repeated("<")},
      {"unclosed automatic links", repeated("<http://")},
      {"unclosed attribute values", repeated("<a b=\"")},
      {"unclosed comments", repeated("<!--")},
      {"comment openings on lines", repeated("a <!--\n")},
      {"nested quotation markers", repeated(">")},
      {"quotations deepening", generated([](size_t i) { return std::string(i % 200, '>') + " a\n"; })},
      {"lists deepening", generated([](size_t i) { return std::string(i % 200 * 2, ' ') + "- a\n"; })},
      {"list markers in a row", repeated("- ")},
      // Every marker starts an item whose rest of the line is tested as a rule; longer,
      // as a square of this length still passes the bound.
      {"list markers in a row, then text", repeated("- ", 4 * size) + "x"},
      {"rule markers in a row, then another", repeated("* ", 4 * size) + "-"},
      {"ampersands", repeated("&#")},
      {"backslashes", repeated("\\")},
      {"at signs", repeated("a.a@")},
      {"schemes", repeated("http://a")},
      {"www prefixes", repeated("www.")},
      {"url parentheses", "http://a.b/" + repeated("(")},
      {"wide table", repeated("a|") + "\n" + repeated("---|") + "\n" + repeated("b|") + "\n"},
      {"long table", "a|b\n---|---\n" + repeated("1|2\n")},
      {"indented fences", repeated("  ```\n")},
      {"lazy quotation lines", "> a\n" + repeated("b\n")},
      {"blank lines", repeated("\n")},
      {"link definitions", repeated("[a]: /u \"t\"\n")},
  };
}

}  // namespace

TEST(MarkdownPathologicalTest, EveryTextFinishesWithinTheBound) {
  double slowest = 0;
  const char* slowestName = "";
  for (const Case& c : pathologicalTexts()) {
    for (unsigned extensions : {0u, static_cast<unsigned>(MDExtensionAll)}) {
      auto start = std::chrono::steady_clock::now();
      html(c.text, extensions);
      double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      EXPECT_LT(seconds, boundSeconds) << c.name << " with extensions " << extensions;
      if (seconds > slowest) {
        slowest = seconds;
        slowestName = c.name;
      }
    }
  }
  std::cout << "[ slowest  ] " << slowestName << ": " << slowest << " s of " << boundSeconds << " s allowed\n";
}

// The cases that hung the screens: a few dozen unclosed block tags in a package
// description, about 120 characters of strikethrough openings on the featured screen.
TEST(MarkdownPathologicalTest, UnclosedBlockTagsInADescription) {
  std::string paragraphs;
  for (int i = 0; i < 40; ++i) paragraphs += "<p>\n";
  paragraphs.pop_back();
  EXPECT_EQ(html(paragraphs), paragraphs);  // the lenient block: raw up to the end
  std::string divisions;
  for (int i = 0; i < 40; ++i) divisions += "<div>";
  EXPECT_EQ(html(divisions + "\n\ntext"), divisions + "\n" + "<p>text</p>\n");
  EXPECT_EQ(html("<div><div>a</div>\nb\n\nc"), "<div><div>a</div>\nb\n<p>c</p>\n");
  EXPECT_EQ(html("<div><p>a</div>\n\nc"), "<div><p>a</div><p>c</p>\n");
}

// A description that is one long run of backticks: every place of the run may open a
// code span, and none can close.
TEST(MarkdownPathologicalTest, ALongRunOfBackticks) {
  const std::string ticks(160 * 1000, '`');
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(html(ticks), "<p>" + ticks + "</p>\n");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), testsupport::timeBound(1.0));
  // The run's shorter tails still open spans that a later, shorter run closes.
  EXPECT_EQ(html("```` a `` b"), "<p>``<code>a</code> b</p>\n");
}

TEST(MarkdownPathologicalTest, StrikethroughOpeningsOnTheFeaturedScreen) {
  std::string text;
  while (text.size() < 120) text += "~~a ";
  EXPECT_EQ(html(text, MDExtensionAll), "<p>" + text + "</p>\n");
  EXPECT_EQ(html("~~a ~~b~~ c~~", MDExtensionAll), "<p><del>a <del>b</del> c</del></p>\n");
}

// Emphasis and strikethrough nested past the limit: the block that would nest them so
// deep reads all of its own as text, whatever depth its reading began at; other blocks
// keep theirs.
TEST(MarkdownPathologicalTest, EmphasisNestedPastTheLimitIsTextInItsBlock) {
  auto nested = [](size_t levels, const std::string& open, const std::string& close) {
    std::string text;
    for (size_t i = 0; i < levels; ++i) text += open;
    text += "a";
    for (size_t i = 0; i < levels; ++i) text += close;
    return text;
  };
  const size_t deepest = MDSpanParser::maximumNesting - 1;  // the block's own reading is a level
  EXPECT_EQ(html(nested(deepest, "~~", "~~"), MDExtensionStrikethrough),
            "<p>" + nested(deepest, "<del>", "</del>") + "</p>\n");
  const std::string deep = nested(deepest + 1, "~~", "~~") + " *y*";
  EXPECT_EQ(html("~~x~~\n\n" + deep, MDExtensionStrikethrough), "<p><del>x</del></p>\n<p>" + deep + "</p>\n");
}
