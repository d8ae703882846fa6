// Times the streaming stanza reader against libapt-pkg's pkgTagFile on the decoded
// Debian index, best of N interleaved runs by the thread's processor time (a busy
// machine's other work moves the wall clock far more). Two measures: stepping through every stanza,
// and stepping plus reading ten fields of each the way the refresh does.
//
//   bench_stanzas [decoded Packages file] [runs]
#include <apt-pkg/fileutl.h>
#include <apt-pkg/tagfile.h>

#include <cstdio>
#include <string>

#include "BenchIndex.h"
#include "BenchReport.h"
#include "database/KVStanzaReader.h"

namespace {

const char* const kFields[] = {"Package", "Version", "Filename", "Section", "Description",
                               "Depends", "Pre-Depends", "Maintainer", "Size", "Tag"};

struct Result {
  double seconds;
  size_t stanzas;
  size_t bytes;  // of the looked-up values, so nothing is optimised away
};

Result runOurs(const std::string& path, bool lookUp) {
  const double start = threadSeconds();
  KVStanzaReader reader(path);
  KVStanza stanza;
  Result r{0, 0, 0};
  while (reader.next(stanza)) {
    ++r.stanzas;
    if (lookUp)
      for (const char* f : kFields)
        if (auto v = stanza.find(f)) r.bytes += v->size();
  }
  r.seconds = threadSeconds() - start;
  return r;
}

Result runApt(const std::string& path, bool lookUp) {
  const double start = threadSeconds();
  FileFd fd(path, FileFd::ReadOnly);
  pkgTagFile tags(&fd);
  pkgTagSection section;
  Result r{0, 0, 0};
  while (tags.Step(section)) {
    ++r.stanzas;
    if (lookUp)
      for (const char* f : kFields) r.bytes += section.Find(APT::StringView(f)).size();
  }
  r.seconds = threadSeconds() - start;
  return r;
}

void compare(const std::string& path, int runs, bool lookUp) {
  Result ours{1e9, 0, 0}, apt{1e9, 0, 0};
  for (int i = 0; i < runs; ++i) {
    Result o = runOurs(path, lookUp);
    Result a = runApt(path, lookUp);
    if (o.seconds < ours.seconds) ours = o;
    if (a.seconds < apt.seconds) apt = a;
  }
  std::printf("%s\n", lookUp ? "step + 10 field look-ups:" : "step through every stanza:");
  std::printf("  KVStanzaReader: best of %d %.1f ms, %zu stanzas, %zu value bytes\n", runs, ours.seconds * 1e3,
              ours.stanzas, ours.bytes);
  std::printf("  pkgTagFile:     best of %d %.1f ms, %zu stanzas, %zu value bytes\n", runs, apt.seconds * 1e3,
              apt.stanzas, apt.bytes);
  std::printf("  ratio (ours / APT time): %.2f\n", ours.seconds / apt.seconds);
  if (ours.stanzas < 1000 || ours.stanzas != apt.stanzas) benchFailure("the two readers count other stanzas");
  if (lookUp && ours.bytes != apt.bytes) benchFailure("the two readers find other values");
  reportRatio(lookUp ? "stanzas/step-and-ten-fields" : "stanzas/step", ours.seconds * 1e3, apt.seconds * 1e3, "ms", 1.0);
}

}  // namespace

int main(int argc, char** argv) {
  std::string path = benchIndexPath(argc, argv);
  int runs = argc > 2 ? std::atoi(argv[2]) : 7;
  compare(path, runs, false);
  compare(path, runs, true);
  return 0;
}
