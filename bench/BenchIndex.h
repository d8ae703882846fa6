#pragma once
// The inputs of the benchmarks: the shared test data (found as the tests find it, through
// QB_TESTDATA_DIR), or a path given on the command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/TestData.h"

// The full path of RELATIVE in the shared test data; without it the benchmark cannot run.
inline std::string benchTestData(const std::string& relative) {
  auto found = testdata::find(relative);
  if (!found) {
    std::fprintf(stderr, "%s\n", testdata::missingMessage(relative).c_str());
    std::exit(2);
  }
  return *found;
}

inline const char* kDebianIndex = "debian/bookworm-main-amd64-Packages.xz";

// The decoded Debian index: the path given on the command line, or the test data's XZ
// index decoded once into a temporary file that is removed at exit.
inline std::string benchIndexPath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  std::string xz = benchTestData(kDebianIndex);
  static std::string path;
  char pattern[] = "/tmp/qb-bench-Packages-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) {
    std::perror("mkstemp");
    std::exit(1);
  }
  close(fd);
  path = pattern;
  std::string cmd = "xz -dc '" + xz + "' > '" + path + "'";
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "xz -dc failed\n");
    std::exit(1);
  }
  std::atexit([] { std::remove(path.c_str()); });
  return path;
}
