// Times XZunzippedData on a large real index against the `xz -dc` command, best of N runs
// each, interleaved so both see the same machine state. Both read the file from disk;
// xz writes to /dev/null, we keep the bytes in memory.
//
//   bench_decode [file.xz] [runs]
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "BenchIndex.h"
#include "core/NSDataCompression.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

double timeOurs(const std::string& path, size_t* decodedSize) {
  auto start = Clock::now();
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Data input(static_cast<size_t>(in.tellg()));
  in.seekg(0);
  in.read(reinterpret_cast<char*>(input.data()), static_cast<std::streamsize>(input.size()));
  std::string error;
  Data out = NSDataCompression::XZunzippedData(input, &error);
  double elapsed = seconds(start);
  if (!error.empty()) {
    std::fprintf(stderr, "decoding failed: %s\n", error.c_str());
    std::exit(1);
  }
  *decodedSize = out.size();
  return elapsed;
}

double timeXZ(const std::string& path) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const char* argv[] = {"xz", "-dc", path.c_str(), nullptr};
  auto start = Clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, "xz", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
    std::perror("xz");
    std::exit(1);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  double elapsed = seconds(start);
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "xz -dc failed\n");
    std::exit(1);
  }
  return elapsed;
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = argc > 1 ? argv[1] : benchTestData(kDebianIndex);
  int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  double ours = 1e9, xz = 1e9;
  size_t decodedSize = 0;
  for (int i = 0; i < runs; ++i) {
    ours = std::min(ours, timeOurs(path, &decodedSize));
    xz = std::min(xz, timeXZ(path));
  }
  std::printf("file: %s (%zu bytes decoded)\n", path.c_str(), decodedSize);
  std::printf("XZunzippedData: best of %d %.1f ms\n", runs, ours * 1000);
  std::printf("xz -dc:         best of %d %.1f ms\n", runs, xz * 1000);
  std::printf("ratio: %.3f\n", ours / xz);
  return 0;
}
