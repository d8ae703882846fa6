#pragma once
// Real Markdown for the benchmarks: the README and Markdown files that the installed
// Debian packages ship as documentation (/usr/share/doc/**/*.md, README*, the .gz ones
// decompressed), made into one document of a given size.
//
// Every document holds the same mix: each file gives its share of the size (its own size
// times size / all files' size, the corpus repeated whole first when the size is larger),
// so that a 10 MB document costs per byte what a 1 MB one does unless the converter is
// not linear. A share is cut at a blank line outside a fenced code block, so that no cut
// leaves a fence open to swallow the files after it; files are set apart by a blank line.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace markdownbench {

inline std::string readMaybeCompressed(const std::filesystem::path& path) {
  std::string text;
  if (path.extension() == ".gz") {
    gzFile file = gzopen(path.c_str(), "rb");
    if (!file) return text;
    char buffer[65536];
    for (int n; (n = gzread(file, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    gzclose(file);
    return text;
  }
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// Whether the text looks like text: no NUL byte, and not a program's manual in roff.
inline bool isProse(std::string_view text) {
  return !text.empty() && text.find('\0') == std::string_view::npos && text.substr(0, 3) != ".TH" &&
         text.substr(0, 4) != ".\\\"";
}

inline bool isDocumentation(const std::filesystem::path& path) {
  std::string name = path.filename().string();
  if (name.ends_with(".gz")) name.resize(name.size() - 3);
  return name.ends_with(".md") || name.ends_with(".markdown") || name.starts_with("README");
}

// The documentation files, in the order of their paths.
inline std::vector<std::string> documentationFiles(const std::string& root = "/usr/share/doc") {
  std::vector<std::filesystem::path> paths;
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_regular_file(ec) && !it->is_symlink(ec) && isDocumentation(it->path())) paths.push_back(it->path());
  }
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> files;
  for (const auto& path : paths) {
    std::string text = readMaybeCompressed(path);
    if (isProse(text)) files.push_back(std::move(text));
  }
  return files;
}

// A fence: up to three spaces, then three or more backticks or tildes.
struct Fence {
  char marker = 0;
  size_t length = 0;
};

inline Fence fenceOf(std::string_view line) {
  size_t i = 0;
  while (i < 3 && i < line.size() && line[i] == ' ') ++i;
  if (i == line.size() || (line[i] != '`' && line[i] != '~')) return {};
  const char marker = line[i];
  size_t length = 0;
  while (i + length < line.size() && line[i + length] == marker) ++length;
  if (length < 3) return {};
  return {marker, length};
}

// The first `bytes` of the text or a little less: up to the last blank line outside a
// fenced block before there (nothing when there is none). A block closes with a fence
// of its own marker at least as long, followed by blanks only.
inline std::string_view shareOf(std::string_view text, size_t bytes) {
  if (bytes >= text.size()) return text;
  Fence open;
  size_t cut = 0;
  for (size_t at = 0; at < text.size() && at <= bytes;) {
    size_t end = text.find('\n', at);
    if (end == std::string_view::npos) break;
    std::string_view line = text.substr(at, end - at);
    const Fence fence = fenceOf(line);
    const bool blank = line.find_first_not_of(" \t\r") == std::string_view::npos;
    if (open.marker == 0 && fence.marker != 0) {
      open = fence;
    } else if (open.marker != 0 && fence.marker == open.marker && fence.length >= open.length &&
               line.find_first_not_of(std::string(" \t\r") + fence.marker) == std::string_view::npos) {
      open = {};
    } else if (blank && open.marker == 0 && end + 1 <= bytes) {
      cut = end + 1;
    }
    at = end + 1;
  }
  return text.substr(0, cut);
}

// The files repeated whole as often as they fit in `size`, then each file's share at
// `fraction` of its length.
inline std::string documentOfShares(const std::vector<std::string>& files, size_t size, double fraction) {
  size_t total = 0;
  for (const auto& f : files) total += f.size() + 2;
  std::string document;
  if (total == 0) return document;
  while (document.size() + total <= size)
    for (const auto& f : files) document.append(f).append("\n\n");
  for (const auto& f : files) {
    std::string_view share = shareOf(f, static_cast<size_t>(fraction * static_cast<double>(f.size())));
    if (!share.empty()) document.append(share).append("\n");
  }
  return document;
}

// A document of `size` bytes, give or take a hundredth, from the files (see above).
inline std::string documentOfSize(const std::vector<std::string>& files, size_t size) {
  size_t total = 0;
  for (const auto& f : files) total += f.size() + 2;
  if (total == 0) return {};
  const size_t whole = size / total * total;
  // Shares are cut back to a blank line: the fraction that gives the size is found by a
  // few steps of proportion.
  double fraction = static_cast<double>(size - whole) / static_cast<double>(total);
  std::string document;
  for (int step = 0; step < 12; ++step) {
    document = documentOfShares(files, size, fraction);
    const double made = static_cast<double>(document.size() - whole), wanted = static_cast<double>(size - whole);
    if (made <= 0 || std::abs(made - wanted) < static_cast<double>(size) / 200) break;
    fraction *= wanted / made;
  }
  return document;
}

}  // namespace markdownbench
