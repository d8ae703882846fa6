#pragma once
// The real repository data and public suites live outside the repository. Tests find
// them through one setting, the environment variable QB_TESTDATA_DIR (by default the
// folder the build was configured with, ../shared/testdata beside the checkout).
// Where the data is absent the test is skipped with one line naming the setting;
// with QB_REQUIRE_TESTDATA=1 (CI sets it) a missing folder fails the test instead.
// Small files written for the tests live in the repository, under tests/fixtures.
//
//   TEST(Suite, Case) {
//     QB_TESTDATA_OR_SKIP(repo, "repos/poomsmart/repo");   // std::string repo = full path
//     ...
//   }
#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace testdata {

// The root folder (the setting's value, or the configured default).
std::string root();
// The full path of RELATIVE under the root when it exists, else nothing.
std::optional<std::string> find(const std::string& relative);
// Whether a missing folder must fail rather than skip.
bool required();
// The one line a skipped or failed test reports.
std::string missingMessage(const std::string& relative);
// The full path of a file or folder under tests/fixtures.
std::string fixture(const std::string& relative);

}  // namespace testdata

#define QB_TESTDATA_OR_SKIP(var, relative)                                   \
  std::string var;                                                           \
  do {                                                                       \
    auto qb_found_ = ::testdata::find(relative);                             \
    if (!qb_found_) {                                                        \
      if (::testdata::required()) FAIL() << ::testdata::missingMessage(relative); \
      GTEST_SKIP() << ::testdata::missingMessage(relative);                  \
    }                                                                        \
    var = *qb_found_;                                                        \
  } while (0)
