// The HTML of real texts, byte for byte as the converter wrote it when these digests were
// taken: every description of the real repositories' indexes, every text of their JSON
// depictions and featured lists, the classic suite's documents, and texts drawn from the
// pieces that steer the span parser into its corners (unclosed markers, link texts and
// targets, code runs, tags). Each with no extension and with all of them. A change made
// for speed alone must leave every digest as it is.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "markdown/MDExtensions.h"
#include "MarkdownTestSupport.h"
#include "support/TestData.h"

namespace {

struct Digest {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  size_t texts = 0;
  void add(std::string_view bytes) {
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    hash = (hash ^ 0xff) * 1099511628211ull;
  }
  void addHTMLOf(const std::string& text) {
    ++texts;
    add(markdowntest::html(text, 0));
    add(markdowntest::html(text, markdown::MDExtensionAll));
  }
};

std::vector<std::filesystem::path> filesUnder(const std::string& root, const std::string& name, const std::string& extension) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    if (entry.is_regular_file() && (entry.path().filename() == name || (!extension.empty() && entry.path().extension() == extension)))
      found.push_back(entry.path());
  std::sort(found.begin(), found.end());
  return found;
}

// The Description fields of an index: the first line, then the continuation lines
// without their first blank (" ." stands for an empty line).
std::vector<std::string> descriptionsOf(const std::string& index) {
  std::vector<std::string> out;
  bool inside = false;
  size_t at = 0;
  while (at < index.size()) {
    size_t end = index.find('\n', at);
    if (end == std::string::npos) end = index.size();
    std::string_view line(index.data() + at, end - at);
    at = end + 1;
    if (line.starts_with("Description:")) {
      out.emplace_back(line.substr(line.find_first_not_of(' ', 12) == std::string_view::npos ? line.size()
                                                                                            : line.find_first_not_of(' ', 12)));
      inside = true;
    } else if (inside && (line.starts_with(" ") || line.starts_with("\t"))) {
      out.back() += "\n";
      if (line.substr(1) != ".") out.back() += line.substr(1);
    } else {
      inside = false;
    }
  }
  return out;
}

void stringsOf(const Value& value, std::vector<std::string>& out) {
  if (const std::string* text = value.stringPtr()) {
    if (text->size() > 1) out.push_back(*text);
  } else if (value.isArray()) {
    for (size_t i = 0; i < value.size(); ++i) stringsOf(value[i], out);
  } else if (value.isDictionary()) {
    for (const auto& key : value.keys()) stringsOf(value[key], out);
  }
}

}  // namespace

TEST(MarkdownSameOutputTest, RealDescriptionsAndDepictions) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  Digest descriptions, depictions;
  for (const auto& path : filesUnder(repos, "Packages", ""))
    for (const std::string& text : descriptionsOf(Files::readText(path.string()).value_or("")))
      descriptions.addHTMLOf(text);
  for (const auto& path : filesUnder(repos, "", ".json")) {
    auto json = Value::fromJSON(Files::readText(path.string()).value_or(""));
    if (!json) continue;
    std::vector<std::string> texts;
    stringsOf(*json, texts);
    for (const std::string& text : texts) depictions.addHTMLOf(text);
  }
  EXPECT_EQ(descriptions.texts, 1900u);
  EXPECT_EQ(descriptions.hash, 7500240310471070956u);
  EXPECT_EQ(depictions.texts, 1052u);
  EXPECT_EQ(depictions.hash, 2630565317465613395u);
}

TEST(MarkdownSameOutputTest, ClassicSuite) {
  QB_TESTDATA_OR_SKIP(suite, "markdown/markdowntest-1.0.3");
  Digest documents;
  for (const auto& path : filesUnder(suite, "", ".text")) documents.addHTMLOf(Files::readText(path.string()).value_or(""));
  EXPECT_EQ(documents.texts, 22u);
  EXPECT_EQ(documents.hash, 3486184625668661234u);
}

TEST(MarkdownSameOutputTest, TextsDrawnFromTheSpanParsersPieces) {
  static const char* const pieces[] = {
      "a", "word ", "  ", "\n", "\n\n", "*", "**", "***", "_", "__", "~~", "`", "``", "[", "]", "](", "(", ")",
      "[a](b)", "[a][b]", "![i](u \"t\")", " \"", "\")", "<", ">", "<div>", "</div>", "<span x='1'>", "<!--", "-->",
      "\\", "\\*", "&", "&amp;", "@", "me@ex.org", "://", "http://a.b/c", "www.ex.com", "|", "> ", "- ", "1. ", "    ",
      "\t", "é", "\xff"};
  std::mt19937 random(20261208);
  Digest texts;
  for (int i = 0; i < 3000; ++i) {
    std::string text;
    for (int n = 1 + static_cast<int>(random() % 40); n > 0; --n) text += pieces[random() % std::size(pieces)];
    texts.addHTMLOf(text);
  }
  EXPECT_EQ(texts.hash, 1583194633584441284u);
}
