#pragma once
// The lines the package tasks hand the verbose-log screen: "UpdateVerboseView" (no
// object) with the text under "Message" and the flags "Error", "isForCommand",
// "isForStream", "isStreamError" and "isStreamWarning", posted on the calling thread.
#include <string>

namespace KVVerboseLog {

inline constexpr const char* kNotification = "UpdateVerboseView";

// One line of a tool's output as the log shows it.
struct StreamLine {
  std::string shown;
  bool isError = false;
  bool isWarning = false;
};
// Errors are "E: " lines (shown without the mark), dpkg's and dpkg-cache's errors and
// "Errors were encountered while processing:"; warnings are "W: " lines (shown without
// the mark) and dpkg's and dpkg-cache's warnings.
StreamLine classify(const std::string& text);

// A status line of a task: "Message", "Error" and "isForCommand".
void post(const std::string& message, bool isError, bool isForCommand = false);
// A status line with all six entries, none of them a stream line.
void postStatus(const std::string& message, bool isError);
// A line of a tool's output.
void postStream(const StreamLine& line);

// The text of a failed run's error: `heading`, then every "E: " and "W: " line of the
// output without its mark, each after a line feed; when there is none, a line saying
// that the cause is in the log.
std::string errorText(const std::string& heading, const std::string& output);

}  // namespace KVVerboseLog
