#include "HTMLFuzzTarget.h"

#include <cstdlib>

#include "html/HTMLDocument.h"
#include "html/HTMLParser.h"
#include "html/HTMLSelector.h"
#include "html/HTMLTokenizer.h"
#include "html/HTMLTreeEnumerator.h"

using namespace html;

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// The bytes read as UTF-16 units, so that lone surrogates and every unit reach the
// tokenizer, not only what a decoder would let through.
String unitsOf(const uint8_t* data, size_t size) {
  String units;
  units.reserve(size / 2);
  for (size_t i = 0; i + 1 < size; i += 2) units.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  return units;
}

void tokenizeInEveryTextState(const String& text) {
  for (int state : {HTMLTokenizer::Data, HTMLTokenizer::RCDATA, HTMLTokenizer::RAWTEXT, HTMLTokenizer::ScriptData,
                    HTMLTokenizer::PLAINTEXT, HTMLTokenizer::CDATASection}) {
    HTMLTokenizer tokenizer(text);
    tokenizer.setState(state);
    size_t characters = 0;
    while (std::optional<HTMLToken> token = tokenizer.nextObject()) {
      if (auto* c = std::get_if<HTMLCharacterToken>(&*token)) {
        check(!c->string().empty());
        characters += c->string().size();
      }
      if (auto* tag = std::get_if<HTMLStartTagToken>(&*token)) check(!tag->tagName().empty());
    }
    // Nothing appears from nowhere: a character reference is never longer than what
    // it replaces would allow by much, and everything else is copied or dropped.
    check(characters <= 2 * text.size() + 8);
  }
}

// Every node is its parent's child, once.
void checkTree(const HTMLNode& root) {
  HTMLTreeEnumerator walk = root.treeEnumerator();
  while (HTMLNode* node = walk.nextObject()) {
    for (const HTMLNodeRef& child : node->children()) check(child->parentNode() == node);
  }
}

void parseWholeAndFragment(std::string_view bytes) {
  auto document = HTMLDocument::documentWithData(bytes, std::nullopt);
  checkTree(*document);
  String html = document->serializedFragment();
  check(document->nodesMatchingSelector("*").size() >= 3);

  // The same text as a fragment in a context the first byte picks.
  static const char16_t* const kContexts[] = {u"div", u"title", u"textarea", u"script", u"table",
                                              u"tr",  u"select", u"svg",     u"math",   u"plaintext"};
  unsigned char pick = bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]);
  auto context = std::make_shared<HTMLElement>(kContexts[pick % 10]);
  if (pick % 10 == 7) context->setHtmlNamespace(HTMLNamespace::SVG);
  if (pick % 10 == 8) context->setHtmlNamespace(HTMLNamespace::MathML);
  HTMLParser fragment(fromUTF8(bytes), HTMLStringEncoding{}, context);
  checkTree(*fragment.document());
  fragment.document()->innerHTML();
}

void compileAsSelector(std::string_view bytes, const HTMLDocument& document) {
  HTMLSelector selector = HTMLSelector::selectorForString(bytes);
  if (!selector.error()) document.nodesMatchingParsedSelector(selector);
}

}  // namespace

int runHTMLFuzzTarget(const uint8_t* data, size_t size) {
  tokenizeInEveryTextState(fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size)));
  tokenizeInEveryTextState(unitsOf(data, size));
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  parseWholeAndFragment(bytes);
  static const auto probe = HTMLDocument::documentWithString(
      std::string_view("<ul><li id=a class='x y'>1<li lang=en-GB>2</ul><p><a href=x>l</a><input disabled></p>"));
  compileAsSelector(bytes.substr(0, 200), *probe);
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runHTMLFuzzTarget(data, size); }
#endif
