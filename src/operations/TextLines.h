#pragma once
// A tool's output as its lines, without their line feeds (a final line feed ends the last
// line; it starts no empty one).
#include <sstream>
#include <string>
#include <vector>

inline std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}
