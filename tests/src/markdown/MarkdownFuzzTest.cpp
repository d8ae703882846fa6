// Runs the fuzz target briefly in the normal test run: a small corpus, then mutations
// of it drawn from a fixed seed, for a bounded number of inputs.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "MarkdownFuzzTarget.h"
#include "markdown/MDGenerator.h"
#include "markdown/MDParser.h"
#include "support/BriefFuzz.h"
#include "support/TestData.h"

using namespace std::string_literals;

namespace {

const std::vector<std::string> corpus = {
    "\x00# Title\n\nSome *emphasis*, **strong**, `code` and a [link](/u \"t\").\n"s,
    "\x3f* a\n* b\n\n  1. nested\n\n> quote\n> > deeper\nlazy\n"s,
    "\x3f| a | b |\n|:---|---:|\n| 1 | 2 |\n| ~~x~~ | _y_ |\n"s,
    "\x3f```sh\necho <x> & y\n```\n\n    indented\n\n---\n"s,
    "\x00<div class=\"x\">\n<p>raw</p>\n</div>\n\n<!-- c\n-->\n<span a=1>t</span>\n"s,
    "\x01see www.example.com, http://a.b/c(d) or me@ex.org; <http://x.y/?a=1&b=2> <a@b.cd>\n"s,
    "\x00[ref][id] ![img][id] [x][]\n\n[id]: <http://u.v> 'T'\n[x]: /x (P)\n"s,
    "\x3f~~a ~~a ~~a *a **a _a __a\n<p><p><div>\n[a](b [a](( ![[[\n"s,
    "\x20line  \nbreak\nhard\n"s,
    "\x00\xff\xfe caf\xc3\xa9 \xf0\x9f\x98\x80 \t\ttab\r\nCR\rLF\n"s,
};

std::string mutated(std::string input, std::mt19937& rng) {
  static const char* const pieces[] = {"*", "_", "~~", "`", "[", "](", ")", "<", ">", "<div>", "</div>", "<!--", "-->",
                                       "\n", "\n\n", "    ", "> ", "- ", "1. ", "|", "---", "\\", "&", "@", "://", "www.", "\""};
  int edits = static_cast<int>(rng() % 4) + 1;
  for (int e = 0; e < edits; ++e) {
    size_t at = input.empty() ? 0 : rng() % (input.size() + 1);
    switch (rng() % 5) {
      case 0: input.insert(at, pieces[rng() % std::size(pieces)]); break;
      case 1: if (at < input.size()) input[at] = static_cast<char>(rng() % 256); break;
      case 2: if (at < input.size()) input.erase(at, rng() % 8 + 1); break;
      case 3: input.insert(at, input.substr(rng() % (input.size() + 1), rng() % 16)); break;
      default: input.insert(at, 1, static_cast<char>(rng() % 128)); break;
    }
  }
  if (input.size() > 4096) input.resize(4096);
  return input;
}

}  // namespace

TEST(MarkdownFuzzTest, CorpusAndMutationsKeepEveryCheck) {
  for (const std::string& input : corpus)
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  std::mt19937 rng(1337);
  std::vector<std::string> pool = corpus;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int runs = 0;
  for (; runs < 20000 && std::chrono::steady_clock::now() < deadline; ++runs) {
    std::string input = mutated(pool[rng() % pool.size()], rng);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    if (pool.size() < 200 && rng() % 8 == 0) pool.push_back(std::move(input));
  }
  EXPECT_GT(runs, 100);
  std::cout << "[ fuzz     ] " << runs << " inputs\n";
}

// Inputs on which remembering failed readings once changed the HTML (the switches a
// failed reading leaves, the depth of the nesting limit), as the fuzz target found them
// and, longer than the texts it compares, about the limit.
TEST(MarkdownFuzzTest, KnownFindsRenderAlikeWithAndWithoutRememberingFailures) {
  const std::vector<std::string> finds = BriefFuzz::filesIn(testdata::fixture("fuzz/markdown"));
  ASSERT_GE(finds.size(), 17u);
  auto render = [](std::string_view text, unsigned extensions, bool remember) {
    markdown::MDParser parser(extensions);
    parser.setRemembersFailures(remember);
    markdown::MDRandomSource random(1);
    return markdown::MDGenerator(random).generateHTML(*parser.parseMarkdown(text));
  };
  for (const std::string& find : finds) {
    ASSERT_FALSE(find.empty());
    const unsigned extensions = markdownFuzzExtensions(static_cast<uint8_t>(find[0]));
    const std::string_view text = std::string_view(find).substr(1);
    EXPECT_EQ(render(text, extensions, true), render(text, extensions, false))
        << "extensions " << extensions << ", text " << ::testing::PrintToString(std::string(text));
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(find.data()), find.size());
  }
}
