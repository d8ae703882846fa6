#include "foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace qblog {
namespace {
std::mutex& logMutex() {
  static std::mutex m;
  return m;
}
}  // namespace

std::string vformat(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  vsnprintf(out.data(), out.size() + 1, fmt, args);
  return out;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string s = vformat(fmt, args);
  va_end(args);
  return s;
}

void logLine(const char* function, int line, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = vformat(fmt, args);
  va_end(args);
  std::string prefix = format("(*** Quillbark 5 ***) %s [Line %d] ", function, line);
  std::lock_guard<std::mutex> lock(logMutex());
  std::fprintf(stderr, "%s%s\n", prefix.c_str(), message.c_str());
  std::fflush(stderr);
}

void logPlain(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::string message = vformat(fmt, args);
  va_end(args);
  std::lock_guard<std::mutex> lock(logMutex());
  std::fprintf(stderr, "%s\n", message.c_str());
  std::fflush(stderr);
}
}  // namespace qblog
