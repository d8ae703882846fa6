// Markdown to HTML throughput on the classic suite's two long documents ("Markdown
// Documentation - Basics" and "- Syntax") repeated, against Debian's cmark in the same
// run. Both convert the same bytes with their defaults (no extensions here).
//
//   bench_markdown [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>
#include <cmark.h>

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

// The two documents, each repeated, one after the other (about 700 KB).
const std::string& document() {
  static const std::string text = [] {
    std::string tests = benchTestData("markdown/markdowntest-1.0.3") + "/Tests/";
    std::string basics = readFile(tests + "Markdown Documentation - Basics.text");
    std::string syntax = readFile(tests + "Markdown Documentation - Syntax.text");
    std::string all;
    for (int i = 0; i < 20; ++i) all += basics + "\n\n" + syntax + "\n\n";
    return all;
  }();
  return text;
}

void Ours(benchmark::State& state) {
  const std::string& text = document();
  markdown::MDRandomSource random(1);
  for (auto _ : state) {
    std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(text, markdown::MDExtensionNone, random);
    benchmark::DoNotOptimize(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void Cmark(benchmark::State& state) {
  const std::string& text = document();
  for (auto _ : state) {
    char* html = cmark_markdown_to_html(text.data(), text.size(), CMARK_OPT_DEFAULT);
    benchmark::DoNotOptimize(html);
    std::free(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

}  // namespace

BENCHMARK(Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(Cmark)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
