#pragma once
// The application executable, as the tests start it.
#include <string>
#include <vector>

#include "system/Process.h"

namespace ApplicationProcess {
inline const char* kPath = QB_BINARY_DIR "/src/quillbark";

// Runs the application on `deviceRoot` with the script as its standard input (a file,
// not a terminal); answers what it printed and its exit status.
Process::Outcome runScript(const std::string& deviceRoot, const std::string& script,
                           const std::vector<std::string>& moreArguments = {});
}  // namespace ApplicationProcess
