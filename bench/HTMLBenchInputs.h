#pragma once
// The pages the HTML benchmarks read: the 231 KB machine-written depiction of
// repos/utm, the eight minified depictions of repos/poomsmart, and the tokenizer
// suite's inputs joined into one text.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "BenchIndex.h"

struct HTMLBenchInput {
  std::string name;
  std::vector<std::string> pages;  // each is one document
  size_t bytes() const {
    size_t n = 0;
    for (const std::string& p : pages) n += p.size();
    return n;
  }
};

inline std::string htmlBenchRead(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    std::fprintf(stderr, "missing %s\n", path.c_str());
    std::exit(1);
  }
  std::stringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

inline const std::vector<HTMLBenchInput>& htmlBenchInputs() {
  static const std::vector<HTMLBenchInput> inputs = [] {
    std::vector<HTMLBenchInput> all;
    all.push_back({"utm", {htmlBenchRead(benchTestData("repos/utm/depiction/web/com.utmapp.UTM.html"))}});

    HTMLBenchInput poomsmart{"poomsmart", {}};
    std::vector<std::filesystem::path> pages;
    for (const auto& e : std::filesystem::directory_iterator(benchTestData("repos/poomsmart/repo/depictions"))) {
      if (e.path().extension() == ".html") pages.push_back(e.path());
    }
    std::sort(pages.begin(), pages.end());
    for (const auto& p : pages) poomsmart.pages.push_back(htmlBenchRead(p));
    all.push_back(poomsmart);

    std::string joined;
    std::vector<std::filesystem::path> suites;
    for (const auto& e : std::filesystem::directory_iterator(benchTestData("html/html5lib-tests/tokenizer"))) {
      if (e.path().extension() == ".test" && e.path().filename() != "xmlViolation.test") suites.push_back(e.path());
    }
    std::sort(suites.begin(), suites.end());
    for (const auto& s : suites) {
      nlohmann::json suite = nlohmann::json::parse(htmlBenchRead(s));
      for (const auto& test : suite["tests"]) joined += test["input"].get<std::string>();
    }
    all.push_back({"tokenizer-suite", {joined}});
    return all;
  }();
  return inputs;
}
