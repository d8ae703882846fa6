// Markdown to HTML on the classic suite's two long documents ("Markdown Documentation -
// Basics" and "- Syntax") repeated to about 700 KB: the throughput in MB of input per
// second of processor time (best of N), and the same text at half the length, which a
// near-linear converter turns out in half the time (the ratio of the two per-byte costs
// near 1). Then a description made of one run of 160,000 backticks, which a converter
// that tries every place of the run against the rest of the text takes seconds over.
// Each output is checked: the documents' headings are all there, the run comes back
// whole.
//
//   bench_markdown [runs]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "BenchIndex.h"
#include "BenchReport.h"
#include "markdown/MDMarkdown.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) benchFailure("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The two documents, each repeated `times` times.
std::string document(int times) {
  std::string tests = benchTestData("markdown/markdowntest-1.0.3") + "/Tests/";
  std::string basics = readFile(tests + "Markdown Documentation - Basics.text");
  std::string syntax = readFile(tests + "Markdown Documentation - Syntax.text");
  std::string all;
  for (int i = 0; i < times; ++i) all += basics + "\n\n" + syntax + "\n\n";
  return all;
}

size_t headings(const std::string& html) {
  size_t count = 0;
  for (size_t at = html.find("<h2"); at != std::string::npos; at = html.find("<h2", at + 3)) ++count;
  return count;
}

// Seconds of processor time for one conversion, best of `runs`; the output checked.
double convert(const std::string& text, int runs, size_t expectedHeadings) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    markdown::MDRandomSource random(1);
    double start = threadSeconds();
    std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(text, markdown::MDExtensionNone, random);
    best = std::min(best, threadSeconds() - start);
    if (headings(html) != expectedHeadings) benchFailure("the output lost the documents' headings");
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  const std::string one = document(1);
  markdown::MDRandomSource random(1);
  const size_t perCopy = headings(markdown::MDMarkdown::HTMLStringWithMarkdown(one, markdown::MDExtensionNone, random));
  if (perCopy == 0) benchFailure("the documents have no headings");
  const std::string full = document(20), half = document(10);
  const double fullSeconds = convert(full, runs, 20 * perCopy);
  const double halfSeconds = convert(half, runs, 10 * perCopy);
  const double megabytesPerSecond = static_cast<double>(full.size()) / 1e6 / fullSeconds;
  const double perByte = (fullSeconds / static_cast<double>(full.size())) / (halfSeconds / static_cast<double>(half.size()));
  std::printf("%zu bytes: %.2f ms, %.1f MB/s; %zu bytes: %.2f ms; cost per byte of the longer / the shorter %.2f | load %.2f\n",
              full.size(), fullSeconds * 1e3, megabytesPerSecond, half.size(), halfSeconds * 1e3, perByte, loadAverage());
  reportFigure("markdown/throughput", megabytesPerSecond, "MB/s", 0);
  reportFigure("markdown/cost-per-byte-at-twice-the-length", perByte, "x", 1.25);

  const std::string ticks(160000, '`');
  double start = threadSeconds();
  std::string html = markdown::MDMarkdown::HTMLStringWithMarkdown(ticks, markdown::MDExtensionNone, random);
  const double tickSeconds = threadSeconds() - start;
  if (html != "<p>" + ticks + "</p>\n") benchFailure("the run of backticks did not come back whole");
  reportFigure("markdown/run-of-160000-backticks", tickSeconds * 1e3, "ms", 1000);
  return 0;
}
