#include "system/DeviceRoot.h"

#include <mutex>
#include <vector>

namespace DeviceRoot {
namespace {
std::mutex gMutex;
std::string gRoot;  // "" is "/"

// Resolves "." and ".." in an absolute path by its text alone, never above "/".
std::string withoutDotSegments(const std::string& path) {
  if (path.find("/.") == std::string::npos) return path;
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t slash = path.find('/', i);
    if (slash == std::string::npos) slash = path.size();
    std::string part = path.substr(i, slash - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    i = slash + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  if (out.empty()) return "/";
  std::string last = path.substr(path.rfind('/') + 1);
  if (path.back() == '/' || last == "." || last == "..") out += "/";
  return out;
}
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
  std::string inside = absolutePath;
  if (absolutePath.size() >= r.size() && absolutePath.compare(0, r.size(), r) == 0 &&
      (absolutePath.size() == r.size() || absolutePath[r.size()] == '/')) {
    if (absolutePath.find("/.") == std::string::npos) return absolutePath;
    inside = absolutePath.size() == r.size() ? "/" : absolutePath.substr(r.size());
  }
  // Paths can come from package data: ".." must not climb out of the root.
  return r + withoutDotSegments(inside);
}

std::string deviceRelative(const std::string& hostPath) {
  std::string r = root();
  if (r.empty()) return hostPath;
  if (hostPath.compare(0, r.size(), r) == 0 && (hostPath.size() == r.size() || hostPath[r.size()] == '/'))
    return hostPath.size() == r.size() ? "/" : hostPath.substr(r.size());
  return hostPath;
}
}  // namespace DeviceRoot
