#include "core/KVPlatform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <random>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"

namespace {
std::mutex gMutex;
std::optional<std::string> gUUID;
std::optional<bool> gRootWritable;

Value deviceFacts() {
  // The file is package data: only a regular file of a facts file's size is read.
  auto contents = DeviceFiles::readFile(DeviceRoot::devicePath(DeviceRoot::kDeviceFactsFile),
                                        DeviceRootBuilder::kMaxDeviceFactsBytes);
  if (!contents || !contents->complete) return {};
  auto v = Value::fromJSON(contents->bytes);
  return v && v->isDictionary() ? *v : Value();
}

std::string fact(const char* key, const std::string& fallback) {
  Value v = deviceFacts()[key];
  if (auto s = v.stringPtr(); s && !s->empty() && DeviceRootBuilder::usableFact(key, v)) return *s;
  return fallback;
}

std::string randomUUID() {
  std::random_device rd;
  std::mt19937_64 gen(rd());
  uint64_t a = gen(), b = gen();
  a = (a & 0xFFFFFFFFFFFF0FFFULL) | 0x0000000000004000ULL;  // version 4
  b = (b & 0x3FFFFFFFFFFFFFFFULL) | 0x8000000000000000ULL;  // variant 1
  char buf[40];
  snprintf(buf, sizeof buf, "%08X-%04X-%04X-%04X-%012llX", static_cast<unsigned>(a >> 32),
           static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
           static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return buf;
}
}  // namespace

std::string KVPlatform::platformName() {
  std::string model = deviceModelID();
  if (model.rfind("iPad", 0) == 0) return "iPad";
  if (model.rfind("iPod", 0) == 0) return "iPod touch";
  return "iPhone";
}

std::string KVPlatform::firmwareVersion() {
  // Package data as well: a named pipe in its place is not waited for, nor a link followed.
  auto contents = DeviceFiles::readFile(DeviceRoot::devicePath(DeviceRoot::kSystemVersionPlist),
                                        DeviceRootBuilder::kMaxDeviceFactsBytes);
  auto plist = contents && contents->complete ? Value::fromPropertyList(contents->bytes) : std::nullopt;
  if (plist) {
    if (auto s = (*plist)["ProductVersion"].stringPtr(); s && !s->empty()) return *s;
  }
  return "14.4";
}

std::string KVPlatform::deviceName() { return fact("name", "iPhone"); }

std::optional<std::string> KVPlatform::deviceUDID() {
  std::string udid = fact("udid", "");
  if (udid.empty()) return std::nullopt;
  return udid;
}

std::string KVPlatform::deviceUUID() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (!gUUID) {
    std::string stored = fact("vendorIdentifier", "");
    gUUID = stored.empty() ? randomUUID() : stored;
    for (auto& c : *gUUID) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  }
  return *gUUID;
}

std::string KVPlatform::deviceModelID() { return fact("model", "iPhone10,3"); }

std::string KVPlatform::applicationsPath() { return DeviceRoot::devicePath("/var/mobile/Applications"); }

bool KVPlatform::isDeviceRootLocked() {
  std::lock_guard<std::mutex> lock(gMutex);
  if (!gRootWritable) {
    // Made and removed without following a link out of the root: a package's link in
    // place of /Library would have the probe made on the host, and the root taken for
    // writable.
    std::string probe = DeviceRoot::devicePath("/Library/QuillbarkTest");
    bool writable = !Files::exists(probe) && DeviceFiles::createFolder(probe);
    if (writable) DeviceFiles::removeItem(probe);
    gRootWritable = writable;
  }
  return !*gRootWritable;
}

int KVPlatform::jailbreakTool() {
  // The first marker that exists decides, in this order.
  if (Files::exists(DeviceRoot::devicePath("/electra"))) return Electra;
  if (Files::exists(DeviceRoot::devicePath("/chimera"))) return Chimera;
  if (Files::exists(DeviceRoot::devicePath("/.installed_unc0ver"))) return Unc0ver;
  if (Files::exists(DeviceRoot::devicePath("/.bootstrapped"))) return Checkra1n;
  return None;
}

void KVPlatform::resetCaches() {
  std::lock_guard<std::mutex> lock(gMutex);
  gUUID.reset();
  gRootWritable.reset();
}
