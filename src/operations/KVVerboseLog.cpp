#include "operations/KVVerboseLog.h"

#include "foundation/NotificationCenter.h"

namespace KVVerboseLog {

namespace {
bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

void postSix(const std::string& message, bool isError, bool isForStream, bool isStreamError, bool isStreamWarning) {
  NotificationCenter::defaultCenter().post(
      kNotification, Value(),
      Value::dict({{"Message", message},
                   {"Error", isError},
                   {"isForCommand", false},
                   {"isForStream", isForStream},
                   {"isStreamError", isStreamError},
                   {"isStreamWarning", isStreamWarning}}));
}
}  // namespace

StreamLine classify(const std::string& text) {
  if (startsWith(text, "E: ")) return {text.substr(3), true, false};
  for (const char* error : {"dpkg: error", "dpkg-cache: error", "Errors were encountered while processing:"})
    if (startsWith(text, error)) return {text, true, false};
  if (startsWith(text, "W: ")) return {text.substr(3), false, true};
  for (const char* warning : {"dpkg: warning", "dpkg-cache: warning"})
    if (startsWith(text, warning)) return {text, false, true};
  return {text, false, false};
}

void post(const std::string& message, bool isError, bool isForCommand) {
  NotificationCenter::defaultCenter().post(
      kNotification, Value(), Value::dict({{"Message", message}, {"Error", isError}, {"isForCommand", isForCommand}}));
}

void postStatus(const std::string& message, bool isError) { postSix(message, isError, false, false, false); }

void postStream(const StreamLine& line) { postSix(line.shown, false, true, line.isError, line.isWarning); }

std::string errorText(const std::string& heading, const std::string& output) {
  std::string text = heading;
  bool found = false;
  size_t start = 0;
  while (start < output.size()) {
    size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    if (startsWith(line, "E: ") || startsWith(line, "W: ")) {
      text += "\n" + line.substr(3);
      found = true;
    }
    start = end + 1;
  }
  if (!found)
    text += "\nQuillbark was unable to determine the cause of this error. Please view the log output for more "
            "information.";
  return text;
}

}  // namespace KVVerboseLog
