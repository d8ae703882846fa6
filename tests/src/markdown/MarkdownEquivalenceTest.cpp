// The parsers remember failed attempts and index brackets so that no text takes more
// than linear time. Those are shortcuts: on every text the plain algorithms finish,
// the results must be the same. These tests compare both on many generated texts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "markdown/MDBracketIndex.h"
#include "markdown/MDExtensions.h"
#include "markdown/MDGenerator.h"
#include "markdown/MDParenIndex.h"
#include "markdown/MDParser.h"

using namespace markdown;

namespace {

std::string render(const std::string& text, unsigned extensions, bool remember) {
  MDParser parser(extensions);
  parser.setRemembersFailures(remember);
  MDRandomSource random(3);
  MDGenerator generator(random);
  return generator.generateHTML(*parser.parseMarkdown(text));
}

std::string randomDocument(std::mt19937& rng) {
  static const char* const tokens[] = {
      "*",   "**", "***", "_",   "__",  "~~",   "`",   "``",     "[",      "]",      "(",     ")",     "<div>",
      "</div>", "<p>", "</p>", "<!--", "-->", " ",  "  ",  "\n",     "\n\n",   "a",      "b c",   "@",     ":",
      "http://a.b", "www.x.y", "> ", "- ", "1. ", "    ", "# ", "|",  "---",   "\\",     "&",      "\"",    "!",
      "a@b.c", "<a href=\"x\">", "</a>", "<http://q.r>", "x_y", "[r]: /u \"t\"\n", "\n---|---\n", "```\n"};
  std::uniform_int_distribution<size_t> pick(0, std::size(tokens) - 1);
  std::uniform_int_distribution<int> length(1, 14);
  std::string text;
  for (int n = length(rng); n > 0; --n) text += tokens[pick(rng)];
  return text;
}

// A link text's closing bracket by plain counting, as the span parser would find it.
size_t plainClose(const MDScanner& scanner, size_t open) {
  std::string_view text = scanner.string();
  int depth = 0;
  bool started = false;
  for (const MDRange& line : scanner.lineRanges()) {
    if (line.end() <= open) continue;
    for (size_t i = std::max(line.location, open); i < line.end(); ++i) {
      if (!started) {
        started = true;
        depth = 1;
        continue;
      }
      if (text[i] == '\\') {
        if (i + 1 < line.end()) ++i;
      } else if (text[i] == '[') {
        ++depth;
      } else if (text[i] == ']' && --depth == 0) {
        return i;
      }
    }
  }
  return std::string_view::npos;
}

// An inline link's target end by plain scanning from `from` with the '(' at `open`.
MDParenIndex::TargetEnd plainTargetEnd(std::string_view line, size_t from) {
  size_t depth = 1;
  for (size_t i = from; i < line.size(); ++i) {
    char c = line[i];
    if (c == '\\') {
      ++i;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth == 0) return {MDParenIndex::TargetEnd::Closed, i};
    } else if (c == ' ' || c == '\t') {
      if (depth != 1) return {};
      return {MDParenIndex::TargetEnd::Blank, i};
    }
  }
  return {};
}

}  // namespace

TEST(MarkdownEquivalenceTest, RememberingFailuresNeverChangesTheResult) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 6000; ++i) {
    const std::string text = randomDocument(rng);
    for (unsigned extensions : {0u, static_cast<unsigned>(MDExtensionAll)}) {
      ASSERT_EQ(render(text, extensions, true), render(text, extensions, false))
          << "text: \"" << text << "\" extensions " << extensions;
    }
  }
}

TEST(MarkdownEquivalenceTest, BracketIndexAgreesWithCounting) {
  std::mt19937 rng(7);
  const std::string alphabet = "[[]]\\a\n";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 24) + 1; n > 0; --n) text += alphabet[rng() % alphabet.size()];
    MDScanner scanner(text);
    if (scanner.lineRanges().empty()) continue;
    MDBracketIndex index;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '[') continue;
      ASSERT_EQ(index.closeOf(scanner, i), plainClose(scanner, i)) << "text: \"" << text << "\" at " << i;
    }
  }
}

TEST(MarkdownEquivalenceTest, ParenIndexAgreesWithScanning) {
  std::mt19937 rng(11);
  const std::string alphabet = "(()) \\a";
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = static_cast<int>(rng() % 24) + 1; n > 0; --n) text += alphabet[rng() % alphabet.size()];
    MDScanner scanner(text);
    MDParenIndex index;
    // Only a '(' that no backslash escapes can open a target.
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\\') {
        ++i;
        continue;
      }
      if (text[i] != '(') continue;
      size_t from = i + 1;
      while (from < text.size() && text[from] == ' ') ++from;
      auto fast = index.targetEnd(scanner, i, from);
      auto plain = plainTargetEnd(text, from);
      ASSERT_EQ(fast.kind, plain.kind) << "text: \"" << text << "\" at " << i;
      if (fast.kind != MDParenIndex::TargetEnd::None) {
        ASSERT_EQ(fast.location, plain.location) << text;
      }
    }
  }
}
