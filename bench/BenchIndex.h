#pragma once
// The decoded Debian index for the benchmarks: a path given on the command line, or the
// test data's XZ index decoded once into a temporary file that is removed at exit.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

inline std::string benchIndexPath(int argc, char** argv) {
  if (argc > 1) return argv[1];
  static std::string path;
  char pattern[] = "/tmp/qb-bench-Packages-XXXXXX";
  int fd = mkstemp(pattern);
  if (fd < 0) {
    std::perror("mkstemp");
    std::exit(1);
  }
  close(fd);
  path = pattern;
  std::string cmd = "xz -dc '" + std::string(QB_TESTDATA_DIR) + "/debian/bookworm-main-amd64-Packages.xz' > '" + path + "'";
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "xz -dc failed\n");
    std::exit(1);
  }
  std::atexit([] { std::remove(path.c_str()); });
  return path;
}
