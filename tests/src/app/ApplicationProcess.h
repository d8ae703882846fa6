#pragma once
// The application executable, as the tests start it.
#include <string>
#include <vector>

#include "system/Process.h"

namespace ApplicationProcess {
inline const char* kPath = QB_BINARY_DIR "/src/quillbark";

// Runs the application on `deviceRoot` with the script as its standard input (a file,
// not a terminal); answers what it printed and its exit status.
// Makes a device root as a person's first start does, and ends its first run as the
// walk's last screen does ("setupDone"), for the roads that begin after it.
void makeDeviceRootAfterFirstRun(const std::string& deviceRoot);

// The flagship road's archives in `folder`: "tool.deb" (Example Tool) depending on
// "lib.deb" (Example Library).
void buildToolAndLibrary(const std::string& folder);

Process::Outcome runScript(const std::string& deviceRoot, const std::string& script,
                           const std::vector<std::string>& moreArguments = {});
}  // namespace ApplicationProcess
