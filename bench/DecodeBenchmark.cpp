// Decoding Debian's XZ index (8.7 MB, 50 MB decoded) the way the refresh does, streamed
// through the helper process piece by piece into the caller, against `xz -dc` of the same
// file into /dev/null: the processor time of the whole work (both sides are processes of
// their own, so what their children used counts), best of N interleaved runs. Both
// results are checked against each other: the same number of bytes, the same digest.
//
//   bench_decode [runs]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "BenchIndex.h"
#include "BenchReport.h"
#include "core/NSDataCompression.h"

namespace {

double childrenSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A digest of the bytes handed on (FNV-1a), to tell two decodings apart.
struct Digest {
  uint64_t hash = 1469598103934665603ull;
  size_t bytes = 0;
  void add(const uint8_t* p, size_t n) {
    bytes += n;
    for (size_t i = 0; i < n; ++i) hash = (hash ^ p[i]) * 1099511628211ull;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string xz = benchTestData(kDebianIndex);
  if (NSDataCompression::decoderHelperPath().empty()) benchFailure("the helper quillbark-decode is missing");
  // The reference, and its digest, from xz itself.
  Digest reference;
  {
    FILE* pipe = popen(("xz -dc '" + xz + "'").c_str(), "r");
    if (!pipe) benchFailure("xz cannot run");
    uint8_t buffer[1 << 16];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) reference.add(buffer, n);
    if (pclose(pipe) != 0) benchFailure("xz -dc failed");
  }
  double ours = 1e9, theirs = 1e9;
  for (int i = 0; i < runs; ++i) {
    Digest digest;
    double start = threadSeconds(), children = childrenSeconds();
    // The caller's share is the reading of the pieces; the digest is left out of it.
    double digesting = 0;
    ErrorRef failure = NSDataCompression::decodeFileApart(xz, NSDataCompression::Format::XZ, [&](const uint8_t* p, size_t n) {
      double t = threadSeconds();
      digest.add(p, n);
      digesting += threadSeconds() - t;
      return true;
    }, SIZE_MAX);
    double spent = threadSeconds() - start - digesting + (childrenSeconds() - children);
    if (failure || digest.bytes != reference.bytes || digest.hash != reference.hash)
      benchFailure("the streamed decoding differs from xz's: " + (failure ? failure->localizedDescription() : ""));
    ours = std::min(ours, spent);
    children = childrenSeconds();
    if (std::system(("xz -dc '" + xz + "' > /dev/null").c_str()) != 0) benchFailure("xz -dc failed");
    theirs = std::min(theirs, childrenSeconds() - children);
  }
  std::printf("%zu bytes decoded: streamed through the helper %.3f s, xz -dc %.3f s of processor time | load %.2f\n",
              reference.bytes, ours, theirs, loadAverage());
  reportRatio("decode/xz-index-streamed", ours, theirs, "s", 1.2);
  return 0;
}
