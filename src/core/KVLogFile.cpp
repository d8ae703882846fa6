#include "core/KVLogFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"
#include "system/DeviceFiles.h"

namespace KVLogFile {
namespace {
void handleExceptions() {
  std::string what = "unknown exception";
  if (auto e = std::current_exception()) {
    try {
      std::rethrow_exception(e);
    } catch (const std::exception& ex) {
      what = ex.what();
    } catch (...) {
    }
  }
  qblog::logLine("HandleExceptions", __LINE__, "*** Quillbark has encountered an unhandled exception: %s",
                 what.c_str());
  std::abort();
}
}  // namespace

bool trimLogFile(const std::string& path) {
  auto text = Files::readText(path);
  if (!text || !isValidUTF8(*text)) return false;
  std::vector<std::string_view> pieces;
  std::string_view all(*text);
  size_t start = 0;
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i] == '\n' || all[i] == '\r') {
      pieces.push_back(all.substr(start, i - start));
      start = i + 1;
    }
  }
  pieces.push_back(all.substr(start));
  if (pieces.size() < kTrimThreshold) return false;
  std::string out;
  for (size_t i = pieces.size() - kKeptPieces; i < pieces.size(); ++i) {
    out += pieces[i];
    if (i + 1 < pieces.size()) out += '\n';
  }
  return DeviceFiles::writeAtomically(path, out);
}

std::string prepareLogFile(const std::string& folder) {
  std::string path = Files::appendingPathComponent(folder, kFileName);
  if (Files::isDirectory(folder)) {
    // Trimmed before the process starts appending, so no line written from now on
    // can be lost to the rewrite.
    if (Files::exists(path)) trimLogFile(path);
  } else {
    DeviceFiles::createFolders(folder);
  }
  // Opened below the device root without following a link: a package that puts a link
  // where the log lies can't have our lines appended to a file of the host.
  std::string error;
  int fd = DeviceFiles::openFile(path, O_WRONLY | O_CREAT | O_APPEND, 0644, &error);
  if (fd < 0) {
    KVLog("Cannot open the log file %s", error.c_str());
    return path;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(fd, STDERR_FILENO);
  ::dup2(fd, STDOUT_FILENO);
  ::close(fd);
  return path;
}

void installUncaughtExceptionHandler() { std::set_terminate(handleExceptions); }
}  // namespace KVLogFile
