#pragma once
// Parsed documents written in the html5lib tree-construction format, and the cases of
// that suite's .dat files.
#include <string>
#include <vector>

#include "html/HTMLNode.h"

namespace treedump {

// "| <html>", "|   <head>", ... one line per node and attribute, attributes sorted by
// name. Attributes of MathML and SVG elements that the standard puts into a namespace
// (xlink:href, xml:lang, xmlns:xlink, ...) are shown as the suite shows namespaced
// names ("xlink href"); the library keeps them as one plain name.
std::string dump(const html::HTMLNode& root);

struct Case {
  std::string file;
  int number = 0;  // 1-based within the file
  std::string data;
  std::string fragmentContext;  // empty for a whole document
  bool scriptOff = false;
  std::string expected;  // the #document section, as dumped
};

// Every case of one .dat file.
std::vector<Case> readCases(const std::string& path, const std::string& fileName);

// The document the library makes of the case, dumped.
std::string parseAndDump(const Case& testCase);

}  // namespace treedump
