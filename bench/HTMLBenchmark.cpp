// The HTML library in bytes of input per second, beside a floor every parser pays:
//   Scan: one pass over the same bytes that counts the '<' characters (the least any
//     reader of the page spends: touching every byte once);
//   Tokenize: the tokenizer alone (UTF-8 decoding included);
//   Parse: bytes to a document as the package page asks for one (encoding
//     determination, decoding, and the second parse the pages' meta elements ask for).
// Each run checks its result: the tokenizer finds tokens and the parse a body element.
//
//   bench_html [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "HTMLBenchInputs.h"
#include "html/HTMLDocument.h"
#include "html/HTMLTokenizer.h"

namespace {

template <class Run>
void eachPage(benchmark::State& state, const HTMLBenchInput& input, Run run) {
  for (auto _ : state) {
    for (const std::string& page : input.pages) run(page);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.bytes()));
}

void tokenize(benchmark::State& state, const HTMLBenchInput& input) {
  eachPage(state, input, [](const std::string& page) {
    html::HTMLTokenizer tokenizer(html::fromUTF8(page));
    size_t tokens = 0;
    while (tokenizer.nextObject()) ++tokens;
    if (tokens == 0) fail("a page gave no token");
    benchmark::DoNotOptimize(tokens);
  });
}

void parse(benchmark::State& state, const HTMLBenchInput& input) {
  eachPage(state, input, [](const std::string& page) {
    auto document = html::HTMLDocument::documentWithData(page, std::nullopt);
    if (!document || !document->bodyElement()) fail("a page gave no body");
    benchmark::DoNotOptimize(document.get());
  });
}

void scan(benchmark::State& state, const HTMLBenchInput& input) {
  eachPage(state, input, [](const std::string& page) {
    auto opens = std::count(page.begin(), page.end(), '<');
    benchmark::DoNotOptimize(opens);
  });
}

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "bench_html: %s\n", what.c_str());
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  for (const HTMLBenchInput& input : htmlBenchInputs()) {
    benchmark::RegisterBenchmark(("Scan/" + input.name).c_str(), scan, input);
    benchmark::RegisterBenchmark(("Tokenize/" + input.name).c_str(), tokenize, input);
    benchmark::RegisterBenchmark(("Parse/" + input.name).c_str(), parse, input);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
