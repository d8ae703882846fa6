// The HTML library in MB of input per second of processor time (best of N), beside a
// floor every parser pays and beside gumbo, another author's general-purpose parser of
// the same standard, linked here only:
//   Scan: one pass over the same bytes that counts the '<' characters (the least any
//     reader of the page spends: touching every byte once);
//   Tokenize: the tokenizer alone (UTF-8 decoding included);
//   Parse: bytes to a document as the package page asks for one (encoding
//     determination, decoding, and the second parse the pages' meta elements ask for);
//   gumbo: bytes (taken as UTF-8) to its tree, which it then frees.
// Limit: our parse in at most half gumbo's time on every input. Each run checks its
// result: the tokenizer finds tokens, our parse a body element, gumbo's a root with
// children.
//
//   bench_html [runs]
#include <gumbo.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchReport.h"
#include "HTMLBenchInputs.h"
#include "html/HTMLDocument.h"
#include "html/HTMLTokenizer.h"

namespace {

// Seconds of processor time for one pass of `run` over the pages (each pass at least a
// megabyte: a small input is read several times over, so that a pass is not lost in the
// clock's steps).
template <class Run>
double secondsOfPass(const HTMLBenchInput& input, Run& run) {
  const size_t passes = std::max<size_t>(1, 1000000 / std::max<size_t>(1, input.bytes()));
  double start = threadSeconds();
  for (size_t i = 0; i < passes; ++i)
    for (const std::string& page : input.pages) run(page);
  return (threadSeconds() - start) / static_cast<double>(passes);
}

// MB per second of each runner, best of `runs`; the runners take turns, so that a change
// in the machine's speed falls on all of them.
template <class... Runs>
std::vector<double> megabytesPerSecond(const HTMLBenchInput& input, int runs, Runs... run) {
  std::vector<double> best(sizeof...(Runs), 1e9);
  for (int i = 0; i < runs; ++i) {
    size_t which = 0;
    ((best[which] = std::min(best[which], secondsOfPass(input, run)), ++which), ...);
  }
  for (double& seconds : best) seconds = static_cast<double>(input.bytes()) / 1e6 / seconds;
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  for (const HTMLBenchInput& input : htmlBenchInputs()) {
    size_t opens = 0;
    auto scanning = [&](const std::string& page) {
      opens += static_cast<size_t>(std::count(page.begin(), page.end(), '<'));
    };
    auto tokenizing = [](const std::string& page) {
      html::HTMLTokenizer tokenizer(html::fromUTF8(page));
      size_t tokens = 0;
      while (tokenizer.nextObject()) ++tokens;
      if (tokens == 0) benchFailure("a page gave no token");
    };
    auto parsing = [](const std::string& page) {
      auto document = html::HTMLDocument::documentWithData(page, std::nullopt);
      if (!document || !document->bodyElement()) benchFailure("a page gave no body");
    };
    auto gumboParsing = [](const std::string& page) {
      GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
      const bool parsed = output && output->root && output->root->v.element.children.length > 0;
      if (output) gumbo_destroy_output(&kGumboDefaultOptions, output);
      if (!parsed) benchFailure("gumbo gave no tree");
    };
    const std::vector<double> speeds = megabytesPerSecond(input, runs, scanning, tokenizing, parsing, gumboParsing);
    const double scan = speeds[0], tokenize = speeds[1], parse = speeds[2], gumbo = speeds[3];
    if (opens == 0) benchFailure("the pages hold no '<'");
    std::printf("%s (%zu bytes): scan %.0f MB/s, tokenize %.1f MB/s, parse %.1f MB/s, gumbo %.1f MB/s | load %.2f\n",
                input.name.c_str(), input.bytes(), scan, tokenize, parse, gumbo, loadAverage());
    reportFigure("html/" + input.name + "/tokenize", tokenize, "MB/s", 0);
    // As times (per MB), so that the ratio is ours / the peer's like every other.
    reportRatio("html/" + input.name + "/parse-vs-gumbo", 1e3 / parse, 1e3 / gumbo, "ms/MB", 0.5);
  }
  return 0;
}
