// Decoding in the helper process: its standard output is read here, piece by piece, and
// handed to the sink; its standard error holds the reason of a failure.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/NSDataCompression.h"
#include "core/KVErrorDomain.h"
#include "foundation/Files.h"
#include "foundation/Log.h"

extern char** environ;

namespace NSDataCompression {

namespace {
std::string executableFolder() {
  char buffer[PATH_MAX + 1];
  ssize_t n = ::readlink("/proc/self/exe", buffer, PATH_MAX);
  if (n <= 0) return {};
  return Files::deletingLastPathComponent(std::string(buffer, static_cast<size_t>(n)));
}

std::string readAll(int fd) {
  std::string text;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return text;
    text.append(buffer, static_cast<size_t>(n));
  }
}

ErrorRef fail(std::string message) { return makeError(KVErrorDomain, KVErrorDecompressionFailed, std::move(message)); }
}  // namespace

const char* formatName(Format format) {
  switch (format) {
    case Format::BZip2: return "bzip2";
    case Format::GZip: return "gzip";
    case Format::XZ: return "xz";
    case Format::LZMA: return "lzma";
    case Format::None: break;
  }
  return "none";
}

std::optional<Format> formatNamed(const std::string& name) {
  for (Format format : {Format::None, Format::BZip2, Format::GZip, Format::XZ, Format::LZMA})
    if (name == formatName(format)) return format;
  return std::nullopt;
}

std::string decoderHelperPath() {
  if (const char* given = std::getenv("QUILLBARK_DECODER"); given && *given) return Files::exists(given) ? given : "";
  std::string folder = executableFolder();
  if (folder.empty()) return {};
  for (const char* relative : {"/quillbark-decode", "/src/quillbark-decode", "/../src/quillbark-decode"}) {
    std::string candidate = folder + relative;
    if (Files::exists(candidate) && !Files::isDirectory(candidate) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return {};
}

ErrorRef decodeFileApart(const std::string& path, Format format, const ChunkSink& sink, size_t maxDecodedSize) {
  static const std::string helper = decoderHelperPath();
  if (format == Format::None || helper.empty()) return decodeFile(path, format, sink, maxDecodedSize);

  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return fail(std::strerror(errno));
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]);
    ::close(out[1]);
    return fail(std::strerror(errno));
  }
  // A larger pipe lets the helper run ahead of the reader by a whole chunk instead of
  // waking it every 64 KiB; where the system refuses, the pipe stays as it is.
  (void)::fcntl(out[0], F_SETPIPE_SZ, static_cast<int>(kStreamChunkSize));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
  std::string name = formatName(format);
  std::string ceiling = std::to_string(maxDecodedSize);
  char* argv[] = {const_cast<char*>(helper.c_str()), name.data(), const_cast<char*>(path.c_str()), ceiling.data(),
                  nullptr};
  pid_t child = -1;
  int spawned = posix_spawn(&child, helper.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  ::close(err[1]);
  if (spawned != 0) {
    ::close(out[0]);
    ::close(err[0]);
    KVLog("The decoder %s cannot run (%s); decoding here", helper.c_str(), std::strerror(spawned));
    return decodeFile(path, format, sink, maxDecodedSize);
  }

  // The sink is handed whole chunks: read as the bytes come, the pipe gives a few dozen
  // kilobytes at a time (this thread is faster than the decoder), and each piece would
  // cost a write of the list file, a wake-up of its reader, and one of this thread.
  std::vector<uint8_t> buffer(kStreamChunkSize);
  size_t total = 0;
  std::string stopped;
  bool ended = false;
  while (!ended) {
    size_t filled = 0;
    while (filled < buffer.size()) {
      ssize_t n = ::read(out[0], buffer.data() + filled, buffer.size() - filled);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended = true;
        break;
      }
      filled += static_cast<size_t>(n);
    }
    if (filled == 0) break;
    total += filled;
    if (total > maxDecodedSize) stopped = kDecodedTooLarge;
    else if (!sink(buffer.data(), filled)) stopped = "The decoded data could not be written";
    if (!stopped.empty()) {
      ::kill(child, SIGKILL);
      break;
    }
  }
  ::close(out[0]);
  std::string reason = readAll(err[0]);
  ::close(err[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!stopped.empty()) return fail(stopped);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return nullptr;
  if (reason.empty()) reason = "The decoder ended with status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  return fail(reason);
}

}  // namespace NSDataCompression
