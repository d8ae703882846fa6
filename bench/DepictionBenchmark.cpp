// What reading a depiction costs a package's page: UTM's 216 KB native depiction read
// whole (the JSON and every part the page asks for), its 205 KB changelog turned into the
// page's attributed text (Markdown, HTML and the text's attributes), once and twice over,
// and a line of list markers that ends in text at two lengths. Each is near-linear when
// the double length costs about twice as much; each run checks what it produced.
//
//   bench_depictions [--benchmark_repetitions=N ...]
#include <benchmark/benchmark.h>

#include <string>

#include "BenchIndex.h"
#include "foundation/Files.h"
#include "markdown/MDMarkdown.h"
#include "package/KVDepictionsParser.h"
#include "package/PackageDetailsViewController.h"

namespace {

const std::string& utmDepiction() {
  static const std::string text =
      Files::readText(benchTestData("repos/utm/depiction/native/com.utmapp.UTM.json")).value_or("");
  return text;
}

void NativeDepiction(benchmark::State& state) {
  const std::string& text = utmDepiction();
  for (auto _ : state) {
    auto depiction = Value::fromJSON(text);
    if (!depiction) {
      state.SkipWithError("the depiction did not read");
      break;
    }
    using Native = KVDepictionsParser::Native;
    auto changelog = Native::changelog(*depiction);
    auto description = Native::description(*depiction);
    auto screenshots = Native::screenshots(*depiction);
    if (!changelog || changelog->size() != 205551 || screenshots.size() != 7 || !description) {
      state.SkipWithError("the depiction's parts are not UTM's");
      break;
    }
    benchmark::DoNotOptimize(changelog);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void ChangelogText(benchmark::State& state) {
  auto depiction = Value::fromJSON(utmDepiction());
  std::string markdown;
  for (int i = 0; i < state.range(0); ++i) markdown += *KVDepictionsParser::Native::changelog(*depiction) + "\n\n";
  for (auto _ : state) {
    NSAttributedString text = PackageDetailsViewController::attributedTextFromMarkdown(markdown, false);
    if (text.string().find("Version 4.6.3") == std::string::npos) {
      state.SkipWithError("the text lost the changelog's first entry");
      break;
    }
    benchmark::DoNotOptimize(text);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * markdown.size()));
}

void ListMarkerLine(benchmark::State& state) {
  std::string line;
  while (line.size() < static_cast<size_t>(state.range(0))) line += "- ";
  line += "x";
  for (auto _ : state) {
    std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(line);
    if (html.find("<li>x</li>") == std::string::npos) {
      state.SkipWithError("the line's last item is missing");
      break;
    }
    benchmark::DoNotOptimize(html);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}

}  // namespace

BENCHMARK(NativeDepiction)->Unit(benchmark::kMillisecond);
BENCHMARK(ChangelogText)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(ListMarkerLine)->Arg(80 * 1024)->Arg(160 * 1024)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
