#include "HTMLFuzzTarget.h"

#include <cstdlib>

#include "html/HTMLTokenizer.h"

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

}  // namespace

int runHTMLFuzzTarget(const uint8_t* data, size_t size) {
  tokenizeInEveryTextState(fromUTF8(std::string_view(reinterpret_cast<const char*>(data), size)));
  tokenizeInEveryTextState(unitsOf(data, size));
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runHTMLFuzzTarget(data, size); }
#endif
