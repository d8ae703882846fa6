// The fuzz target run briefly: the corpus in tests/fixtures/html/fuzz-corpus, then a fixed number of
// mutations of it with a fixed seed, so that a failure repeats.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "HTMLFuzzTarget.h"
#include "support/TestData.h"

namespace {

std::vector<std::string> corpus() {
  std::vector<std::string> inputs;
  std::filesystem::path folder = testdata::fixture("html/fuzz-corpus");
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    inputs.push_back(bytes.str());
  }
  std::sort(inputs.begin(), inputs.end());
  return inputs;
}

// Pieces that steer the tokenizer and the tree builder into their rarer corners.
const char* const kPieces[] = {"<",      ">",       "&",          "&#x",      "&amp",     "</",     "<!--",
                               "-->",    "<!DOCTYPE", "]]>",      "<![CDATA[", "\0",      "\r",     "\xED\xA0\x80",
                               "<svg>",  "<math>",  "<table>",    "<td>",     "<select>", "<b>",    "</b>",
                               "<p>",    "<script>", "</script>", "<title>",  "<frameset>", "<template>", "=\"",
                               "<a x=",  "<foreignObject>", "<annotation-xml encoding=text/html>", "<plaintext>"};

std::string mutate(const std::string& input, std::mt19937& random) {
  std::string out = input;
  int edits = 1 + random() % 4;
  for (int i = 0; i < edits; ++i) {
    size_t at = out.empty() ? 0 : random() % (out.size() + 1);
    switch (random() % 4) {
      case 0:
        if (!out.empty() && at < out.size()) out[at] = char(random());
        break;
      case 1: {
        const char* piece = kPieces[random() % (sizeof kPieces / sizeof kPieces[0])];
        out.insert(at, piece[0] ? std::string(piece) : std::string(1, '\0'));
        break;
      }
      case 2:
        if (at < out.size()) out.erase(at, 1 + random() % 8);
        break;
      case 3:
        if (!out.empty()) out.insert(at, out.substr(random() % out.size(), 1 + random() % 16));
        break;
    }
  }
  return out;
}

TEST(HTMLFuzz, CorpusAndMutationsRunCleanly) {
  std::vector<std::string> inputs = corpus();
  ASSERT_FALSE(inputs.empty());
  for (const std::string& input : inputs) runHTMLFuzzTarget(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  std::mt19937 random(20240611);
  for (int i = 0; i < 3000; ++i) {
    std::string input = mutate(inputs[random() % inputs.size()], random);
    runHTMLFuzzTarget(reinterpret_cast<const uint8_t*>(input.data()), input.size());
  }
}

}  // namespace
