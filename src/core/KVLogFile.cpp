#include "core/KVLogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
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

// The most of the log read at start: far more than its last 4000 lines, and a package
// that filled the file with gigabytes doesn't make the start take them all in.
constexpr uint64_t kMaximumReadBytes = 16 << 20;

// The log's text, or its last kMaximumReadBytes from the first line that begins in them
// (`cut` then). Nothing when it is no regular file (it is read without following a link
// or waiting for a pipe's writer).
std::optional<std::string> readLog(const std::string& path, bool* cut) {
  int fd = DeviceFiles::openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    if (fd >= 0) ::close(fd);
    return std::nullopt;
  }
  const uint64_t size = static_cast<uint64_t>(st.st_size);
  *cut = size > kMaximumReadBytes;
  std::string text(*cut ? kMaximumReadBytes : size, '\0');
  const off_t from = static_cast<off_t>(size - text.size());
  size_t got = 0;
  while (got < text.size()) {
    ssize_t n = ::pread(fd, text.data() + got, text.size() - got, from + static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  ::close(fd);
  text.resize(got);
  if (*cut) text.erase(0, std::min(text.size(), text.find('\n') + 1));
  return text;
}
}  // namespace

bool trimLogFile(const std::string& path) {
  bool cut = false;
  auto text = readLog(path, &cut);
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
  if (pieces.size() < kTrimThreshold && !cut) return false;
  std::string out;
  for (size_t i = pieces.size() - std::min(kKeptPieces, pieces.size()); i < pieces.size(); ++i) {
    out += pieces[i];
    if (i + 1 < pieces.size()) out += '\n';
  }
  return DeviceFiles::writeAtomically(path, out);
}

std::string prepareLogFile(const std::string& folder) {
  std::string path = Files::appendingPathComponent(folder, kFileName);
  // The log is the application's own: a link or a pipe a package left in its place goes.
  std::string repair;
  DeviceFiles::clearForOwnFile(path, &repair);
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
  if (!repair.empty()) KVLog("Repaired the log file: %s", repair.c_str());
  return path;
}

void installUncaughtExceptionHandler() { std::set_terminate(handleExceptions); }
}  // namespace KVLogFile
