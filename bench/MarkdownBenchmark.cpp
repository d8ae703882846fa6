// Markdown to HTML throughput on the classic suite's two long documents ("Markdown
// Documentation - Basics" and "- Syntax") repeated, at two lengths: the converter is
// near-linear when the longer document costs about twice the shorter one per run and the
// same per byte. Each run checks that the output holds the documents' headings.
//
//   bench_markdown [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "BenchIndex.h"
#include "markdown/MDMarkdown.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The two documents, each repeated `times` times, one after the other (20 times: about
// 700 KB).
std::string document(int times) {
  std::string tests = benchTestData("markdown/markdowntest-1.0.3") + "/Tests/";
  std::string basics = readFile(tests + "Markdown Documentation - Basics.text");
  std::string syntax = readFile(tests + "Markdown Documentation - Syntax.text");
  std::string all;
  for (int i = 0; i < times; ++i) all += basics + "\n\n" + syntax + "\n\n";
  return all;
}

void Convert(benchmark::State& state) {
  const int times = static_cast<int>(state.range(0));
  const std::string text = document(times);
  markdown::MDRandomSource random(1);
  for (auto _ : state) {
    std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(text, markdown::MDExtensionNone, random);
    size_t headings = 0;
    for (size_t at = html.find("<h2"); at != std::string::npos; at = html.find("<h2", at + 3)) ++headings;
    if (headings < static_cast<size_t>(times)) {
      state.SkipWithError("the output lost the documents' headings");
      break;
    }
    benchmark::DoNotOptimize(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(Convert)->Arg(10)->Arg(20)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
