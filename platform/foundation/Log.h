#pragma once
// The diagnostic log call. Every line goes to standard error (which the process entry
// points at the log file) with the system's prefix, the calling function and its line.
#include <cstdarg>
#include <string>

namespace qblog {
void logLine(const char* function, int line, const char* format, ...) __attribute__((format(printf, 3, 4)));
// A line with no prefix, for the few start-up lines that carry none.
void logPlain(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Formats printf-style into a std::string.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char* format, va_list args);
}  // namespace qblog

#define KVLog(...) ::qblog::logLine(__func__, __LINE__, __VA_ARGS__)
