#pragma once
// The log file: "quillbark.log" in the log folder, which receives the process's
// standard output and standard error and is cut to its last 4000 lines at start.
#include <string>

namespace KVLogFile {
inline constexpr const char* kFileName = "quillbark.log";
inline constexpr size_t kTrimThreshold = 5001;  // pieces at which the file is cut
inline constexpr size_t kKeptPieces = 4000;

// Cuts the file to its last 4000 newline-separated pieces when it has 5001 or more.
// Answers whether it rewrote the file. A file that isn't valid UTF-8, or no regular
// file, is left alone; of a very long one (a package can write there) only the lines of
// its last 16 MiB are read, and kept.
bool trimLogFile(const std::string& path);
// Makes the folder (with its parents), trims an existing log and points standard
// output and standard error at the log file in append mode. Answers the log path.
std::string prepareLogFile(const std::string& folder);
// Logs an uncaught exception the way the system does and lets the process end.
void installUncaughtExceptionHandler();
}  // namespace KVLogFile
