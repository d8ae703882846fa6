// Full parse throughput in bytes of input per second: bytes to a document as the package
// page asks for one (encoding determination, decoding, and the second parse the pages'
// meta elements ask for), with Debian's gumbo parsing the same bytes in the same run.
//
//   bench_html_parse [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include "HTMLBenchInputs.h"
#include "html/HTMLDocument.h"

namespace {

void parse(benchmark::State& state, const HTMLBenchInput& input) {
  for (auto _ : state) {
    for (const std::string& page : input.pages) {
      auto document = html::HTMLDocument::documentWithData(page, std::nullopt);
      benchmark::DoNotOptimize(document.get());
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.bytes()));
}

void gumboParse(benchmark::State& state, const HTMLBenchInput& input) {
  for (auto _ : state) {
    for (const std::string& page : input.pages) {
      GumboOutput* output = gumbo_parse_with_options(&kGumboDefaultOptions, page.data(), page.size());
      benchmark::DoNotOptimize(output->root);
      gumbo_destroy_output(&kGumboDefaultOptions, output);
    }
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(input.bytes()));
}

}  // namespace

int main(int argc, char** argv) {
  for (const HTMLBenchInput& input : htmlBenchInputs()) {
    benchmark::RegisterBenchmark(("Parse/" + input.name).c_str(), parse, input);
    benchmark::RegisterBenchmark(("GumboParse/" + input.name).c_str(), gumboParse, input);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
