// Tokenizer throughput in bytes of input per second (UTF-8 decoding included), with
// Debian's gumbo in the same run as the peer. Gumbo offers no tokenizer of its own
// through its public interface, so its figure is a whole parse: the ratio is a floor
// for ours.
//
//   bench_html_tokenizer [Google Benchmark flags]
#include <benchmark/benchmark.h>
#include <gumbo.h>

#include "HTMLBenchInputs.h"
#include "html/HTMLTokenizer.h"

namespace {

void tokenize(benchmark::State& state, const HTMLBenchInput& input) {
  for (auto _ : state) {
    size_t tokens = 0;
    for (const std::string& page : input.pages) {
      html::HTMLTokenizer tokenizer(html::fromUTF8(page));
      while (tokenizer.nextObject()) ++tokens;
    }
    benchmark::DoNotOptimize(tokens);
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
    benchmark::RegisterBenchmark(("Tokenize/" + input.name).c_str(), tokenize, input);
    benchmark::RegisterBenchmark(("GumboParse/" + input.name).c_str(), gumboParse, input);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
