#pragma once
// A shell fragment that waits until a file exists, for ten seconds at most: a test holds
// a command at that point and releases it by creating the file, and a broken test ends
// instead of hanging.
#include <string>

inline std::string shellWaitForFile(const std::string& path) {
  return "i=0; while [ ! -e '" + path + "' ] && [ $i -lt 1000 ]; do sleep 0.01; i=$((i+1)); done";
}
