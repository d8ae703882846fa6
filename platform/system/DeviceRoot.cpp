#include "system/DeviceRoot.h"

#include <mutex>

namespace DeviceRoot {
namespace {
std::mutex gMutex;
std::string gRoot;  // "" is "/"
}  // namespace

std::string root() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gRoot;
}

void setRoot(const std::string& r) {
  std::string clean = r;
  while (!clean.empty() && clean.back() == '/') clean.pop_back();
  std::lock_guard<std::mutex> lock(gMutex);
  gRoot = clean;
}

bool isRealDevice() { return root().empty(); }

std::string devicePath(const std::string& absolutePath) {
  if (absolutePath.empty() || absolutePath[0] != '/') return absolutePath;
  std::string r = root();
  if (r.empty()) return absolutePath;
  // Already mapped (a caller passed a host path inside the root).
  if (absolutePath.size() >= r.size() && absolutePath.compare(0, r.size(), r) == 0 &&
      (absolutePath.size() == r.size() || absolutePath[r.size()] == '/'))
    return absolutePath;
  return r + absolutePath;
}

std::string deviceRelative(const std::string& hostPath) {
  std::string r = root();
  if (r.empty()) return hostPath;
  if (hostPath.compare(0, r.size(), r) == 0 && (hostPath.size() == r.size() || hostPath[r.size()] == '/'))
    return hostPath.size() == r.size() ? "/" : hostPath.substr(r.size());
  return hostPath;
}
}  // namespace DeviceRoot
