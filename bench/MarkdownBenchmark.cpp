// Markdown to HTML against two other converters on the same inputs, by processor time
// (best of N): cmark and md4c, general-purpose libraries of other authors linked here only.
// The inputs: the classic suite's two long documents ("Markdown Documentation - Basics"
// and "- Syntax") repeated to about 700 KB, and real documents of 1, 2 and 10 MB made from
// the README and Markdown files the installed packages ship (MarkdownBenchInputs.h).
// Ours runs with no extensions, as the package page converts a description; the peers
// with CommonMark's rules. Limits: at most 1.5 times cmark's time at every size, and the
// cost per byte at 10 MB at most 1.2 times that at 1 MB. Then a description made of one
// run of 160,000 backticks, which a converter that tries every place of the run against
// the rest of the text takes seconds over.
//
// The outputs are not the same HTML, and are not meant to be: ours follows the classic
// dialect, the peers CommonMark. Ours reads no fenced code without its extension (the
// fence's lines stay a paragraph), keeps "#Title" a heading where CommonMark wants a
// space, leaves raw HTML blocks and '<' of text as it finds them where CommonMark
// escapes more, writes "<hr />", obfuscates e-mail links and reads list items and lazy
// lines by the older rules. Each run prints the tags of the three outputs side by side,
// and checks ours: every input gives HTML, its headings are within a third of one
// peer's count (each misreads a few texts: md4c takes "<prefix>" at a line's start
// for a <pre> block that runs to the end), the run of backticks comes back whole.
//
//   bench_markdown [runs]
#include <cmark.h>
#include <md4c-html.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

#include "BenchIndex.h"
#include "BenchReport.h"
#include "MarkdownBenchInputs.h"
#include "markdown/MDMarkdown.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) benchFailure("cannot read " + path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// The classic suite's two documents, each repeated `times` times.
std::string classicDocument(int times) {
  std::string tests = benchTestData("markdown/markdowntest-1.0.3") + "/Tests/";
  std::string basics = readFile(tests + "Markdown Documentation - Basics.text");
  std::string syntax = readFile(tests + "Markdown Documentation - Syntax.text");
  std::string all;
  for (int i = 0; i < times; ++i) all += basics + "\n\n" + syntax + "\n\n";
  return all;
}

size_t countOf(const std::string& html, std::string_view tag) {
  size_t count = 0;
  for (size_t at = html.find(tag); at != std::string::npos; at = html.find(tag, at + tag.size())) ++count;
  return count;
}

size_t headings(const std::string& html) {
  size_t count = 0;
  for (const char* tag : {"<h1", "<h2", "<h3", "<h4", "<h5", "<h6"}) count += countOf(html, tag);
  return count;
}

std::string tagsOf(const std::string& html) {
  char line[200];
  std::snprintf(line, sizeof line, "%8zu KB  h %5zu  p %6zu  li %6zu  pre %5zu  code %6zu  a %6zu  em %5zu  strong %5zu",
                html.size() / 1000, headings(html), countOf(html, "<p>"), countOf(html, "<li>"), countOf(html, "<pre>"),
                countOf(html, "<code>"), countOf(html, "<a "), countOf(html, "<em>"), countOf(html, "<strong>"));
  return line;
}

using Converter = std::function<std::string(const std::string&)>;

std::string ours(const std::string& text) {
  markdown::MDRandomSource random(1);
  return markdown::MDMarkdown::HTMLStringWithMarkdown(text, markdown::MDExtensionNone, random);
}

std::string cmark(const std::string& text) {
  char* html = cmark_markdown_to_html(text.data(), text.size(), CMARK_OPT_DEFAULT);
  std::string out = html ? html : "";
  std::free(html);
  return out;
}

std::string md4c(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  auto append = [](const MD_CHAR* data, MD_SIZE size, void* into) { static_cast<std::string*>(into)->append(data, size); };
  if (md_html(text.data(), static_cast<MD_SIZE>(text.size()), append, &out, 0, 0) != 0) benchFailure("md4c failed");
  return out;
}

struct Timed {
  double seconds = 1e9;
  std::string html;
};

// Processor time of one conversion, best of `runs`; the last output kept.
Timed timed(const Converter& convert, const std::string& text, int runs) {
  Timed result;
  for (int i = 0; i < runs; ++i) {
    double start = threadSeconds();
    std::string html = convert(text);
    result.seconds = std::min(result.seconds, threadSeconds() - start);
    result.html = std::move(html);
  }
  return result;
}

// Ours and the peers on one input; gives ours per byte, in nanoseconds.
double compare(const std::string& name, const std::string& text, int runs) {
  // The conversions alternate, so that a change in the machine's speed falls on all three.
  Timed mine, theirs, fourth;
  for (int i = 0; i < runs; ++i) {
    Timed a = timed(ours, text, 1), b = timed(cmark, text, 1), c = timed(md4c, text, 1);
    if (a.seconds < mine.seconds) mine = std::move(a);
    if (b.seconds < theirs.seconds) theirs = std::move(b);
    if (c.seconds < fourth.seconds) fourth = std::move(c);
  }
  if (mine.html.empty()) benchFailure(name + ": no HTML");
  // Near the count of one peer at least: each peer misreads some text the other reads.
  const size_t ourHeadings = headings(mine.html);
  auto near = [&](const Timed& peer) {
    const size_t count = headings(peer.html);
    return 3 * ourHeadings >= 2 * count && 2 * ourHeadings <= 3 * count;
  };
  if (!near(theirs) && !near(fourth))
    benchFailure(name + ": " + std::to_string(ourHeadings) + " headings, cmark " + std::to_string(headings(theirs.html)) +
                 ", md4c " + std::to_string(headings(fourth.html)));
  std::printf("%s, %zu bytes: ours %.1f ms, cmark %.1f ms, md4c %.1f ms | load %.2f\n", name.c_str(), text.size(),
              mine.seconds * 1e3, theirs.seconds * 1e3, fourth.seconds * 1e3, loadAverage());
  std::printf("  ours  %s\n  cmark %s\n  md4c  %s\n", tagsOf(mine.html).c_str(), tagsOf(theirs.html).c_str(),
              tagsOf(fourth.html).c_str());
  reportRatio("markdown/" + name + "/vs-cmark", mine.seconds * 1e3, theirs.seconds * 1e3, "ms", 1.5);
  reportRatio("markdown/" + name + "/vs-md4c", mine.seconds * 1e3, fourth.seconds * 1e3, "ms", 0);
  return mine.seconds / static_cast<double>(text.size()) * 1e9;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  compare("classic-700KB", classicDocument(20), runs);

  const std::vector<std::string> files = markdownbench::documentationFiles();
  size_t total = 0;
  for (const auto& f : files) total += f.size();
  std::printf("documentation: %zu files, %zu bytes\n", files.size(), total);
  if (files.size() < 20) benchFailure("fewer than 20 documentation files in /usr/share/doc");
  const double perByte1 = compare("docs-1MB", markdownbench::documentOfSize(files, 1000000), runs);
  compare("docs-2MB", markdownbench::documentOfSize(files, 2000000), runs);
  const double perByte10 = compare("docs-10MB", markdownbench::documentOfSize(files, 10000000), runs);
  reportRatio("markdown/docs-cost-per-byte-10MB-vs-1MB", perByte10, perByte1, "ns/B", 1.2);

  const std::string ticks(160000, '`');
  double start = threadSeconds();
  std::string html = ours(ticks);
  const double tickSeconds = threadSeconds() - start;
  if (html != "<p>" + ticks + "</p>\n") benchFailure("the run of backticks did not come back whole");
  reportFigure("markdown/run-of-160000-backticks", tickSeconds * 1e3, "ms", 1000);
  return 0;
}
