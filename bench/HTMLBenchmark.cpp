// The HTML library in MB of input per second of processor time (best of N), beside a
// floor every parser pays:
//   Scan: one pass over the same bytes that counts the '<' characters (the least any
//     reader of the page spends: touching every byte once);
//   Tokenize: the tokenizer alone (UTF-8 decoding included);
//   Parse: bytes to a document as the package page asks for one (encoding
//     determination, decoding, and the second parse the pages' meta elements ask for).
// Each run checks its result: the tokenizer finds tokens and the parse a body element.
//
//   bench_html [runs]
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "BenchReport.h"
#include "HTMLBenchInputs.h"
#include "html/HTMLDocument.h"
#include "html/HTMLTokenizer.h"

namespace {

template <class Run>
double megabytesPerSecond(const HTMLBenchInput& input, int runs, Run run) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    double start = threadSeconds();
    for (const std::string& page : input.pages) run(page);
    best = std::min(best, threadSeconds() - start);
  }
  return static_cast<double>(input.bytes()) / 1e6 / best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  for (const HTMLBenchInput& input : htmlBenchInputs()) {
    size_t opens = 0;
    const double scan = megabytesPerSecond(input, runs, [&](const std::string& page) {
      opens += static_cast<size_t>(std::count(page.begin(), page.end(), '<'));
    });
    const double tokenize = megabytesPerSecond(input, runs, [](const std::string& page) {
      html::HTMLTokenizer tokenizer(html::fromUTF8(page));
      size_t tokens = 0;
      while (tokenizer.nextObject()) ++tokens;
      if (tokens == 0) benchFailure("a page gave no token");
    });
    const double parse = megabytesPerSecond(input, runs, [](const std::string& page) {
      auto document = html::HTMLDocument::documentWithData(page, std::nullopt);
      if (!document || !document->bodyElement()) benchFailure("a page gave no body");
    });
    if (opens == 0) benchFailure("the pages hold no '<'");
    std::printf("%s (%zu bytes): scan %.0f MB/s, tokenize %.1f MB/s, parse %.1f MB/s | load %.2f\n", input.name.c_str(),
                input.bytes(), scan, tokenize, parse, loadAverage());
    reportFigure("html/" + input.name + "/tokenize", tokenize, "MB/s", 0);
    reportFigure("html/" + input.name + "/parse", parse, "MB/s", 0);
  }
  return 0;
}
