#pragma once
// One application per device root: a lock file in the application's own folder of the
// root, held for the life of the process. The kernel lets go of it on any exit, a crash
// or SIGKILL included, so a file left behind never blocks the next start. The holder
// writes its process number into the file, so a second start can say who holds it.
#include <memory>
#include <string>
#include <vector>

class DeviceRootLock {
 public:
  static constexpr const char* kFileName = "quillbark.lock";

  // The lock of the current device root (DeviceRoot::root()). Nothing, with `error`
  // saying why (another process holds it, or the file cannot be made), otherwise. The
  // lock comes before the device-root builder's repairs, so a link a package made of a
  // folder on its way ("/var/mobile" to a folder of the host) is replaced by a folder
  // here, as the builder would, and noted in `repairs`; nothing is written through it.
  // Whatever else a package left in place of the application's folder or of the lock
  // file (a link within the root, a named pipe) is replaced and noted too.
  static std::unique_ptr<DeviceRootLock> acquire(std::string* error, std::vector<std::string>* repairs = nullptr);
  static std::string lockPath();

  ~DeviceRootLock();
  DeviceRootLock(const DeviceRootLock&) = delete;
  DeviceRootLock& operator=(const DeviceRootLock&) = delete;

 private:
  explicit DeviceRootLock(int descriptor) : descriptor_(descriptor) {}
  int descriptor_;
};
