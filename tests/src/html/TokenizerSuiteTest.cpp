// The public html5lib tokenizer suite: every test of every file but xmlViolation.test
// (which expects the XML infoset coercions this library does not make), in each of its
// initial states. Parse errors are dropped and adjacent character tokens merged, as
// the suite's format asks.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "html/HTMLTokenizer.h"
#include "support/TestData.h"

using namespace html;
using json = nlohmann::json;

namespace {

// The suite's second round of unescaping: \uHHHH becomes that UTF-16 unit, lone
// surrogates included.
String unescapeTwice(const String& text) {
  String out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == u'\\' && i + 5 < text.size() && text[i + 1] == u'u') {
      std::string hex = toUTF8(text.substr(i + 2, 4));
      out.push_back(static_cast<char16_t>(std::stoul(hex, nullptr, 16)));
      i += 5;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

String textOf(const json& value, bool doubleEscaped) {
  if (value.is_null()) return u"<null>";
  String text = fromUTF8(value.get<std::string>());
  return doubleEscaped ? unescapeTwice(text) : text;
}

// One token as a line of text, with attributes sorted by name so that order doesn't
// matter.
String line(std::initializer_list<String> fields) {
  String out;
  for (const String& f : fields) {
    out += u"\u241E";
    out += f;
  }
  return out;
}

std::vector<String> expectedTokens(const json& output, bool doubleEscaped) {
  std::vector<String> lines;
  for (const json& token : output) {
    std::string kind = token[0];
    if (kind == "Character") {
      String text = textOf(token[1], doubleEscaped);
      if (!lines.empty() && lines.back().rfind(u"\u241ECharacter\u241E", 0) == 0) {
        lines.back() += text;
      } else {
        lines.push_back(line({u"Character", text}));
      }
    } else if (kind == "Comment") {
      lines.push_back(line({u"Comment", textOf(token[1], doubleEscaped)}));
    } else if (kind == "StartTag") {
      std::vector<std::pair<String, String>> attributes;
      for (auto& [name, value] : token[2].items()) {
        attributes.emplace_back(textOf(json(name), doubleEscaped), textOf(value, doubleEscaped));
      }
      std::sort(attributes.begin(), attributes.end());
      String joined;
      for (auto& [n, v] : attributes) joined += n + u"=" + v + u";";
      bool selfClosing = token.size() > 3 && token[3].get<bool>();
      lines.push_back(line({u"StartTag", textOf(token[1], doubleEscaped), joined, selfClosing ? u"/" : u""}));
    } else if (kind == "EndTag") {
      lines.push_back(line({u"EndTag", textOf(token[1], doubleEscaped)}));
    } else if (kind == "DOCTYPE") {
      lines.push_back(line({u"DOCTYPE", textOf(token[1], doubleEscaped), textOf(token[2], doubleEscaped),
                            textOf(token[3], doubleEscaped), token[4].get<bool>() ? u"ok" : u"quirks"}));
    }
  }
  return lines;
}

String orNull(const std::optional<String>& s) { return s ? *s : u"<null>"; }

std::vector<String> actualTokens(HTMLTokenizer& tokenizer) {
  std::vector<String> lines;
  while (std::optional<HTMLToken> token = tokenizer.nextObject()) {
    if (auto* c = std::get_if<HTMLCharacterToken>(&*token)) {
      if (!lines.empty() && lines.back().rfind(u"\u241ECharacter\u241E", 0) == 0) {
        lines.back() += c->string();
      } else {
        lines.push_back(line({u"Character", c->string()}));
      }
    } else if (auto* comment = std::get_if<HTMLCommentToken>(&*token)) {
      lines.push_back(line({u"Comment", comment->data()}));
    } else if (auto* start = std::get_if<HTMLStartTagToken>(&*token)) {
      std::vector<std::pair<String, String>> attributes(start->attributes().begin(), start->attributes().end());
      std::sort(attributes.begin(), attributes.end());
      String joined;
      for (auto& [n, v] : attributes) joined += n + u"=" + v + u";";
      lines.push_back(line({u"StartTag", start->tagName(), joined, start->selfClosingFlag() ? u"/" : u""}));
    } else if (auto* end = std::get_if<HTMLEndTagToken>(&*token)) {
      lines.push_back(line({u"EndTag", end->tagName()}));
    } else if (auto* doctype = std::get_if<HTMLDOCTYPEToken>(&*token)) {
      lines.push_back(line({u"DOCTYPE", orNull(doctype->name()), orNull(doctype->publicIdentifier()),
                            orNull(doctype->systemIdentifier()), doctype->forceQuirks() ? u"quirks" : u"ok"}));
    }
  }
  return lines;
}

int stateNamed(const std::string& name) {
  if (name == "Data state") return HTMLTokenizer::Data;
  if (name == "PLAINTEXT state") return HTMLTokenizer::PLAINTEXT;
  if (name == "RCDATA state") return HTMLTokenizer::RCDATA;
  if (name == "RAWTEXT state") return HTMLTokenizer::RAWTEXT;
  if (name == "Script data state") return HTMLTokenizer::ScriptData;
  if (name == "CDATA section state") return HTMLTokenizer::CDATASection;
  ADD_FAILURE() << "unknown initial state " << name;
  return HTMLTokenizer::Data;
}

std::string printable(const std::vector<String>& lines) {
  std::string out;
  for (const String& l : lines) out += "  " + toUTF8(l) + "\n";
  return out;
}

class TokenizerSuite : public testing::TestWithParam<const char*> {};

TEST_P(TokenizerSuite, EveryTestPasses) {
  QB_TESTDATA_OR_SKIP(dir, "html/html5lib-tests/tokenizer");
  std::ifstream file(dir + "/" + GetParam());
  ASSERT_TRUE(file) << GetParam();
  json suite = json::parse(file);
  int passed = 0, failed = 0;
  for (const json& test : suite["tests"]) {
    bool doubleEscaped = test.value("doubleEscaped", false);
    String input = textOf(test["input"], doubleEscaped);
    std::vector<std::string> states = test.value("initialStates", std::vector<std::string>{"Data state"});
    for (const std::string& state : states) {
      HTMLTokenizer tokenizer(input);
      tokenizer.setState(stateNamed(state));
      if (test.contains("lastStartTag")) tokenizer.setLastStartTag(fromUTF8(test["lastStartTag"].get<std::string>()));
      std::vector<String> expected = expectedTokens(test["output"], doubleEscaped);
      std::vector<String> actual = actualTokens(tokenizer);
      if (expected == actual) {
        ++passed;
      } else {
        ++failed;
        ADD_FAILURE() << test["description"].get<std::string>() << " (" << state << ")\ninput: "
                      << toUTF8(input) << "\nexpected:\n"
                      << printable(expected) << "actual:\n"
                      << printable(actual);
      }
    }
  }
  RecordProperty("passed", passed);
  RecordProperty("failed", failed);
  std::cout << GetParam() << ": " << passed << " passed, " << failed << " failed\n";
}

INSTANTIATE_TEST_SUITE_P(Html5lib, TokenizerSuite,
                         testing::Values("contentModelFlags.test", "domjs.test", "entities.test",
                                         "escapeFlag.test", "namedEntities.test", "numericEntities.test",
                                         "pendingSpecChanges.test", "test1.test", "test2.test", "test3.test",
                                         "test4.test", "unicodeChars.test", "unicodeCharsProblematic.test"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           name = name.substr(0, name.find('.'));
                           return name;
                         });

}  // namespace
