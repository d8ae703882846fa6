#include "support/HostMarker.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "foundation/Files.h"

namespace {
const char* kFileName = "marker";
const char* kContents = "the host's own file\n";
}  // namespace

HostMarker::HostMarker() {
  std::string tmpl = (Files::isDirectory("/var/tmp") ? std::string("/var/tmp")
                                                      : std::filesystem::temp_directory_path().string()) +
                     "/qbmarker-XXXXXX";
  if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
  path_ = tmpl;
  ::chmod(path_.c_str(), 0755);
  if (!Files::writeAtomically(file(kFileName), std::string(kContents)))
    throw std::runtime_error("cannot write the host marker");
}

HostMarker::~HostMarker() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string HostMarker::changes() const {
  std::string out;
  auto names = Files::contentsOfDirectory(path_);
  if (names != std::vector<std::string>{kFileName}) {
    out += "the marker folder holds:";
    for (const auto& n : names) out += " " + n;
    out += "\n";
  }
  if (Files::readText(file(kFileName)) != std::string(kContents)) out += "the marker file changed\n";
  struct stat st;
  if (::lstat(path_.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || (st.st_mode & 07777) != 0755)
    out += "the marker folder itself changed\n";
  return out;
}
