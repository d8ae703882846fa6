// The HTML library against Debian's gumbo in the same run, in bytes of input per second:
//   Tokenize: the tokenizer alone (UTF-8 decoding included);
//   Parse: bytes to a document as the package page asks for one (encoding
//     determination, decoding, and the second parse the pages' meta elements ask for);
//   GumboParse: gumbo's whole parse of the same bytes. Gumbo offers no tokenizer of its
//     own through its public interface, so Tokenize is compared with its whole parse.
//
//   bench_html [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <gumbo.h>

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
    benchmark::DoNotOptimize(tokens);
  });
}

void parse(benchmark::State& state, const HTMLBenchInput& input) {
  eachPage(state, input, [](const std::string& page) {
    auto document = html::HTMLDocument::documentWithData(page, std::nullopt);
    benchmark::DoNotOptimize(document.get());
  });
}

void gumboParse(benchmark::State& state, const HTMLBenchInput& input) {
  eachPage(state, input, [](const std::string& page) {
    GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
    benchmark::DoNotOptimize(output->root);
    gumbo_destroy_output(&kGumboDefaultOptions, output);
  });
}

}  // namespace

int main(int argc, char** argv) {
  for (const HTMLBenchInput& input : htmlBenchInputs()) {
    benchmark::RegisterBenchmark(("Tokenize/" + input.name).c_str(), tokenize, input);
    benchmark::RegisterBenchmark(("Parse/" + input.name).c_str(), parse, input);
    benchmark::RegisterBenchmark(("GumboParse/" + input.name).c_str(), gumboParse, input);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
