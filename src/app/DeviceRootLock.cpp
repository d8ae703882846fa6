#include "app/DeviceRootLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "foundation/Files.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
std::string holderOf(int descriptor) {
  char buffer[64] = {};
  ssize_t n = pread(descriptor, buffer, sizeof buffer - 1, 0);
  std::string text = n > 0 ? std::string(buffer, size_t(n)) : std::string();
  text = text.substr(0, text.find('\n'));
  bool number = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  return number ? "another Quillbark (process " + text + ")" : "another Quillbark";
}
}  // namespace

std::string DeviceRootLock::lockPath() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kApplicationSupport) + "/" + kFileName);
}

std::unique_ptr<DeviceRootLock> DeviceRootLock::acquire(std::string* error, std::vector<std::string>* repairs) {
  auto refuse = [error](const std::string& message) {
    if (error) *error = message;
    return nullptr;
  };
  std::string path = lockPath();
  std::string problem;
  // The root itself is the user's to name; only what is below it is the device's.
  if (!DeviceRoot::root().empty()) {
    std::error_code ec;
    std::filesystem::create_directories(DeviceRoot::root(), ec);
    if (ec || !Files::isDirectory(DeviceRoot::root()))
      return refuse("cannot make the device root " + DeviceRoot::root() + ": " +
                    (ec ? ec.message() : std::string("it is not a folder")));
  }
  const std::string folder = Files::deletingLastPathComponent(path);
  if (DeviceRoot::root().empty()) {
    if (!DeviceFiles::createFolders(folder, &problem)) return refuse(problem);
  } else {
    DeviceFiles::Tree tree(DeviceRoot::root(), true);
    bool made = tree.createFolders(DeviceRoot::kApplicationSupport, &problem);
    if (repairs) *repairs = tree.repairs();
    if (!made) return refuse(problem);
  }
  // The folder and the lock are the application's own: a link a package put in their
  // place, even one within the root, or anything else with the lock's name, goes. (A
  // lock another process holds is a file, and stays.)
  std::string repair;
  if (!DeviceFiles::makeOwnFolder(folder, &repair, &problem)) return refuse(problem);
  if (!repair.empty() && repairs) repairs->push_back(repair);
  if (!DeviceFiles::clearForOwnFile(path, &repair, &problem)) return refuse(problem);
  if (!repair.empty() && repairs) repairs->push_back(repair);
  // Close-on-exec: a command the application starts must not keep the lock alive.
  int descriptor = DeviceFiles::openFile(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644, &problem);
  if (descriptor < 0) return refuse(problem);
  if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
    int reason = errno;
    std::string message = reason == EWOULDBLOCK
                              ? "the device root " + DeviceRoot::root() + " is in use by " + holderOf(descriptor) +
                                    "; quit that one first, or give another --device-root"
                              : "cannot lock " + path + ": " + std::strerror(reason);
    close(descriptor);
    return refuse(message);
  }
  std::string pid = std::to_string(getpid()) + "\n";
  if (ftruncate(descriptor, 0) != 0 || pwrite(descriptor, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
    std::string message = "cannot write " + path + ": " + std::strerror(errno);
    close(descriptor);
    return refuse(message);
  }
  return std::unique_ptr<DeviceRootLock>(new DeviceRootLock(descriptor));
}

DeviceRootLock::~DeviceRootLock() { close(descriptor_); }
