#pragma once
// What the rest of the system asks about the device. Every answer is read from the
// device root (its system-version property list and its file of device facts), with
// device-like defaults, never from the host.
#include <optional>
#include <string>

class KVPlatform {
 public:
  enum JailbreakTool : int { None = 0, Unc0ver = 1, Chimera = 2, Electra = 3, Checkra1n = 4 };

  static std::string platformName();     // the device model, "iPhone" or "iPad"
  static std::string firmwareVersion();  // the system version, "14.4"
  static std::string deviceName();
  static std::optional<std::string> deviceUDID();
  static std::string deviceUUID();       // upper-case UUID, the same for the whole process
  static std::string deviceModelID();    // hardware model identifier, "iPhone10,3"
  static std::string applicationsPath();
  static bool isDeviceRootLocked();
  static int jailbreakTool();

  // Forgets the cached answers (tests switch device roots).
  static void resetCaches();
};
