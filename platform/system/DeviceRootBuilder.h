#pragma once
// Lays out a folder like a device: the dpkg database (reachable as "var/lib/dpkg" and
// "Library/dpkg"), the mobile user's folders, the system-version property list and a
// small file of device facts. Idempotent: what exists is kept.
#include <string>

struct DeviceFacts {
  std::string systemVersion = "14.4";   // the emulated iOS version
  std::string model = "iPhone10,3";     // hardware model identifier
  std::string deviceName = "iPhone";
  std::string udid = "0000000000000000000000000000000000000000";
  std::string cpuArchitecture = "arm64";
};

namespace DeviceRootBuilder {
// Builds (or completes) a device root at `root`. Answers false with `error` set when
// a folder can't be made.
bool build(const std::string& root, const DeviceFacts& facts = {}, std::string* error = nullptr);
// Writes the system version into the root's system-version property list.
bool setSystemVersion(const std::string& root, const std::string& version);
}  // namespace DeviceRootBuilder
