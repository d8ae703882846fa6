#include "MarkdownFuzzTarget.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "markdown/MDCharacterSet.h"
#include "markdown/MDGenerator.h"
#include "markdown/MDParser.h"
#include "markdown/NSStringURLsFromString.h"

namespace {

void check(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

bool isUTF8(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    size_t length = markdown::utf8::validLength(text, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string render(std::string_view text, unsigned extensions, bool remember) {
  markdown::MDParser parser(extensions);
  parser.setRemembersFailures(remember);
  markdown::MDRandomSource random(1);
  markdown::MDGenerator generator(random);
  return generator.generateHTML(*parser.parseMarkdown(text));
}

}  // namespace

unsigned markdownFuzzExtensions(uint8_t first) {
  static const unsigned bits[] = {1, 8, 32, 64, 256, 512};
  unsigned extensions = 0;
  for (size_t i = 0; i < 6; ++i)
    if (first >> i & 1) extensions |= bits[i];
  return extensions;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const unsigned extensions = markdownFuzzExtensions(data[0]);
  std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  const std::string html = render(text, extensions, true);
  check(isUTF8(html), "the HTML is UTF-8");
  check(html.size() <= 64 * text.size() + 64, "the HTML grows at most linearly");
  // The plain algorithms are exponential on some texts: compare on short ones only.
  if (text.size() <= 48) check(html == render(text, extensions, false), "remembering failures changes nothing");
  for (const URL& url : markdown::NSStringURLsFromString::URLs(text))
    check(!url.scheme().empty() && !url.host().empty(), "every address found has a scheme and a host");
  return 0;
}
