// The launcher's own work on a large device root. Before each run it reads the owner of
// every entry of the root, to give what the application made there to the sandbox's root
// (launcher/RootOwnership.h). The processor time of the launcher running `true` (the
// launcher and its whole sandbox, every process waited for) on a root the builder made,
// padded with 100,000 files in 2,000 folders as packages leave them, against the same root
// unpadded: the median of N interleaved runs, as the extra time per 10,000 entries; and the
// first run after the application made them all, which gives each of them away.
//
//   bench_launcher [runs]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "BenchReport.h"
#include "foundation/Files.h"
#include "support/TempDir.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"

namespace {
constexpr int kFolders = 2000, kFilesPerFolder = 50;

double childrenSeconds() {
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Processor time of one run of the root's launcher.
double launcherSeconds(const std::string& root) {
  const double before = childrenSeconds();
  pid_t child = fork();
  if (child == 0) {
    const std::string launcher = root + DeviceRoot::kLauncherPath;
    execl(launcher.c_str(), launcher.c_str(), "true", static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
    benchFailure("the launcher failed in " + root);
  return childrenSeconds() - before;
}

std::string builtRoot(const TempDir& dir) {
  const std::string root = dir.path() + "/device";
  std::string error;
  if (!DeviceRootBuilder::build(root, {}, &error)) benchFailure("cannot build a device root: " + error);
  if (!Files::exists(root + DeviceRoot::kLauncherPath)) benchFailure("no launcher was built beside the benchmark");
  return root;
}
}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 9;
  if (geteuid() != 0) benchFailure("the launcher's work on a root shows when it runs as root");
  TempDir plainDir, paddedDir;
  const std::string plain = builtRoot(plainDir), padded = builtRoot(paddedDir);
  for (int f = 0; f < kFolders; ++f) {
    const std::string folder = padded + "/usr/share/padding/" + std::to_string(f / 100) + "/" + std::to_string(f);
    if (!Files::createDirectories(folder)) benchFailure("cannot make " + folder);
    for (int i = 0; i < kFilesPerFolder; ++i)
      if (!Files::writeAtomically(folder + "/" + std::to_string(i), std::string())) benchFailure("cannot pad the root");
  }
  const double first = launcherSeconds(padded);
  std::vector<double> withPadding, without;
  for (int i = 0; i < runs; ++i) {
    withPadding.push_back(launcherSeconds(padded));
    without.push_back(launcherSeconds(plain));
  }
  const double entries = kFolders * (kFilesPerFolder + 1.0);
  const double perTenThousand = (medianOf(withPadding) - medianOf(without)) * 1e4 / entries * 1e3;
  std::printf("launcher on a root of %.0f more entries: %.1f ms (first run, giving them away %.1f ms), plain root %.1f ms"
              " | load %.2f\n",
              entries, medianOf(withPadding) * 1e3, first * 1e3, medianOf(without) * 1e3, loadAverage());
  reportFigure("launcher/ms-per-10k-root-entries", perTenThousand, "ms", 25);
  reportFigure("launcher/first-run-102k-entries-given", first * 1e3, "ms", 0);
  return 0;
}
