#include <gtest/gtest.h>

#include "html/HTMLElement.h"
#include "html/HTMLTokenizer.h"

using namespace html;

namespace {

// Every token as a short line; parse errors are kept.
std::vector<std::string> tokenize(const String& input, int state = HTMLTokenizer::Data,
                                  HTMLTokenizerParser* parser = nullptr) {
  HTMLTokenizer tokenizer(input);
  tokenizer.setState(state);
  tokenizer.setParser(parser);
  std::vector<std::string> lines;
  while (std::optional<HTMLToken> token = tokenizer.nextObject()) {
    if (auto* c = std::get_if<HTMLCharacterToken>(&*token)) lines.push_back("text " + toUTF8(c->string()));
    if (auto* s = std::get_if<HTMLStartTagToken>(&*token)) {
      std::string line = "start " + toUTF8(s->tagName());
      for (const auto& [name, value] : s->attributes()) line += " " + toUTF8(name) + "=" + toUTF8(value);
      lines.push_back(line + (s->selfClosingFlag() ? " /" : ""));
    }
    if (auto* e = std::get_if<HTMLEndTagToken>(&*token)) lines.push_back("end " + toUTF8(e->tagName()));
    if (auto* c = std::get_if<HTMLCommentToken>(&*token)) lines.push_back("comment " + toUTF8(c->data()));
    if (auto* d = std::get_if<HTMLDOCTYPEToken>(&*token)) {
      lines.push_back("doctype " + (d->name() ? toUTF8(*d->name()) : "-") + (d->forceQuirks() ? " quirks" : ""));
    }
    if (auto* e = std::get_if<HTMLParseErrorToken>(&*token)) lines.push_back("error " + e->error());
  }
  return lines;
}

using Lines = std::vector<std::string>;

class ForeignParser : public HTMLTokenizerParser {
 public:
  ForeignParser() { svg_->setHtmlNamespace(HTMLNamespace::SVG); }
  HTMLElement* adjustedCurrentNode() const override { return svg_.get(); }

 private:
  HTMLElementRef svg_ = std::make_shared<HTMLElement>(u"svg");
};

TEST(Tokenizer, TextRunsAndReferencesAreSeparateTokens) {
  EXPECT_EQ(tokenize(u"a&amp;b<p>"), (Lines{"text a", "text &", "text b", "start p"}));
  EXPECT_EQ(tokenize(u""), Lines{});
  EXPECT_EQ(tokenize(u"< x"), (Lines{"error Unexpected character in tag open state", "text <", "text  x"}));
}

TEST(Tokenizer, NulIsKeptInDataAndReplacedElsewhere) {
  EXPECT_EQ(tokenize(String(u"a\0b", 3)), (Lines{"error U+0000 NULL in data state", std::string("text a\0b", 8)}));
  EXPECT_EQ(tokenize(String(u"a\0", 2), HTMLTokenizer::RCDATA),
            (Lines{"error U+0000 NULL in RCDATA state", "text a\xEF\xBF\xBD"}));
  EXPECT_EQ(tokenize(String(u"<!--\0-->", 8)),
            (Lines{"error U+0000 NULL in comment start state", "comment \xEF\xBF\xBD"}));
  EXPECT_EQ(tokenize(String(u"<a b=\"\0\">", 9)),
            (Lines{"error U+0000 NULL in attribute value double quoted state", "start a b=\xEF\xBF\xBD"}));
}

TEST(Tokenizer, AttributesAndEndTags) {
  EXPECT_EQ(tokenize(u"</a b=c>"), (Lines{"error End tag with attributes and/or self-closing flag", "end a"}));
  EXPECT_EQ(tokenize(u"<a x=1 X=2 y>"), (Lines{"error Duplicate attribute", "start a x=1 y="}));
  EXPECT_EQ(tokenize(u"<br/>"), (Lines{"start br /"}));
  EXPECT_EQ(tokenize(u"<a b=x\"y>"),
            (Lines{"error Unexpected \" in attribute value unquoted state", "start a b=x\"y"}));
}

TEST(Tokenizer, RawTextEndsOnlyAtTheAppropriateEndTag) {
  HTMLTokenizer tokenizer(u"<title>a</TITLE >b");
  ASSERT_TRUE(std::holds_alternative<HTMLStartTagToken>(*tokenizer.nextObject()));
  tokenizer.setState(HTMLTokenizer::RCDATA);
  EXPECT_EQ(std::get<HTMLCharacterToken>(*tokenizer.nextObject()).string(), u"a");
  EXPECT_EQ(std::get<HTMLEndTagToken>(*tokenizer.nextObject()).tagName(), u"title");
  EXPECT_EQ(tokenizer.state(), HTMLTokenizer::Data);

  HTMLTokenizer wrong(u"a</titlex>");
  wrong.setState(HTMLTokenizer::RCDATA);
  wrong.setLastStartTag(u"title");
  std::vector<String> texts;
  while (auto token = wrong.nextObject()) texts.push_back(std::get<HTMLCharacterToken>(*token).string());
  EXPECT_EQ(texts, (std::vector<String>{u"a", u"</", u"titlex", u">"}));
}

TEST(Tokenizer, TheEndOfInputInsideConstructs) {
  EXPECT_EQ(tokenize(u"<a b"), (Lines{"error EOF in attribute name state"}));
  EXPECT_EQ(tokenize(u"<!--x"), (Lines{"error EOF in comment state", "comment x"}));
  EXPECT_EQ(tokenize(u"<!DOCTYPE html"), (Lines{"error EOF in DOCTYPE name state", "doctype html quirks"}));
  EXPECT_EQ(tokenize(u"<!DOCTYPE html x"),
            (Lines{"error Unexpected character in after DOCTYPE name state", "doctype html quirks"}));
  EXPECT_EQ(tokenize(u"<!DOCTYPE html PUBLIC \"x\" \"y\" z>"),
            (Lines{"error Unexpected character in after DOCTYPE system identifier state", "doctype html"}));
}

TEST(Tokenizer, CDATAOnlyInForeignContent) {
  ForeignParser svg;
  EXPECT_EQ(tokenize(u"<![CDATA[x]]]>", HTMLTokenizer::Data, &svg), (Lines{"text x", "text ]"}));
  EXPECT_EQ(tokenize(u"<![CDATA[x]]]>"),
            (Lines{"error Bogus character in markup declaration open state", "comment [CDATA[x]]]"}));
  EXPECT_EQ(tokenize(u"<![CDATA[a]]", HTMLTokenizer::Data, &svg), (Lines{"text a", "text ]", "text ]"}));
}

TEST(Tokenizer, AWrongStateIsAProgrammingError) {
  HTMLTokenizer tokenizer(u"x");
  tokenizer.setState(99);
  EXPECT_THROW(tokenizer.nextObject(), std::logic_error);
}

TEST(CharacterReferences, NamedReferencesInTextAndAttributes) {
  EXPECT_EQ(tokenize(u"&notit;"), (Lines{"error Named entity missing semicolon", "text \xC2\xAC", "text it;"}));
  EXPECT_EQ(tokenize(u"&notin;"), (Lines{"text \xE2\x88\x89"}));
  EXPECT_EQ(tokenize(u"<a b='&amp=x'>"), (Lines{"error Named entity in attribute ending with =", "start a b=&amp=x"}));
  EXPECT_EQ(tokenize(u"<a b='&ampx'>"), (Lines{"start a b=&ampx"}));
  EXPECT_EQ(tokenize(u"&ampx"), (Lines{"error Named entity missing semicolon", "text &", "text x"}));
  EXPECT_EQ(tokenize(u"<a b=\"x&\">"), (Lines{"start a b=x&"}));
  EXPECT_EQ(tokenize(u"&xyz;"), (Lines{"error Unknown named entity with semicolon", "text &", "text xyz;"}));
  EXPECT_EQ(tokenize(u"&xyz"), (Lines{"text &", "text xyz"}));
}

TEST(CharacterReferences, NumericReferences) {
  EXPECT_EQ(tokenize(u"&#x80;"), (Lines{"error Invalid numeric entity (has replacement)", "text \xE2\x82\xAC"}));
  EXPECT_EQ(tokenize(u"&#0;"), (Lines{"error Invalid numeric entity (has replacement)", "text \xEF\xBF\xBD"}));
  EXPECT_EQ(tokenize(u"&#x81;"), (Lines{"error Invalid numeric entity (has replacement)", "text \xC2\x81"}));
  EXPECT_EQ(tokenize(u"&#xD800;"),
            (Lines{"error Invalid numeric entity (outside valid Unicode range)", "text \xEF\xBF\xBD"}));
  EXPECT_EQ(tokenize(u"&#x110000;"),
            (Lines{"error Invalid numeric entity (outside valid Unicode range)", "text \xEF\xBF\xBD"}));
  EXPECT_EQ(tokenize(u"&#1;"), (Lines{"error Invalid numeric entity (in bad Unicode range)", "text \x01"}));
  EXPECT_EQ(tokenize(u"&#;"), (Lines{"error Numeric entity with no numbers", "text &", "text #;"}));
  EXPECT_EQ(tokenize(u"&#x;"), (Lines{"error Numeric entity with no numbers", "text &", "text #x;"}));
  EXPECT_EQ(tokenize(u"&#65"), (Lines{"error Missing semicolon for numeric entity", "text A"}));
  // The windows-1252 table is matched on the whole number, not its low 16 bits.
  EXPECT_EQ(tokenize(u"&#x10080;"), (Lines{"text \xF0\x90\x82\x80"}));
}

}  // namespace
