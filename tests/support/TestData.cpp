#include "support/TestData.h"

#include <cstdlib>
#include <filesystem>

namespace testdata {

std::string root() {
  if (const char* set = std::getenv("QB_TESTDATA_DIR"); set && *set) return set;
  return QB_TESTDATA_DIR;
}

std::optional<std::string> find(const std::string& relative) {
  std::string path = root() + "/" + relative;
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  return path;
}

bool required() {
  const char* set = std::getenv("QB_REQUIRE_TESTDATA");
  return set && std::string(set) == "1";
}

std::string missingMessage(const std::string& relative) {
  // One reason for every test it skips, whatever each needs (scripts/test counts them
  // by reason): the part in parentheses at the end is this test's own.
  return "the shared test data is not under " + root() + "; set QB_TESTDATA_DIR to its folder (this test needs " +
         relative + ")";
}

std::string fixture(const std::string& relative) {
  return relative.empty() ? std::string(QB_FIXTURES_DIR) : std::string(QB_FIXTURES_DIR) + "/" + relative;
}

}  // namespace testdata
