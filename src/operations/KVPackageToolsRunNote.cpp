#include "operations/KVPackageToolsRunNote.h"

#include "foundation/Log.h"
#include "operations/KVStreamingTask.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
constexpr size_t kLongest = 200;
}  // namespace

std::string KVPackageToolsRunNote::path() {
  return DeviceRoot::devicePath(std::string(DeviceRoot::kApplicationSupport) + "/PackageToolsRun");
}

void KVPackageToolsRunNote::write(const std::string& work) {
  std::string error;
  if (!DeviceFiles::writeAtomically(path(), work + "\n", &error))
    KVLog("The note of the package tools' run was not written: %s", error.c_str());
}

void KVPackageToolsRunNote::clear() {
  std::string error;
  if (!DeviceFiles::removeItem(path(), &error)) KVLog("The note of the package tools' run stays: %s", error.c_str());
}

std::optional<std::string> KVPackageToolsRunNote::read() {
  auto contents = DeviceFiles::readFile(path(), kLongest + 1);
  if (!contents) return std::nullopt;
  std::string text(contents->bytes.begin(), contents->bytes.end());
  text = text.substr(0, text.find('\n'));
  if (text.size() > kLongest) {
    text.resize(kLongest);
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty() && static_cast<unsigned char>(text.back()) >= 0xC0) text.pop_back();
  }
  text = KVStreamingTask::decodeUTF8Lossy(text);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
  if (text.find_first_not_of(' ') == std::string::npos) return std::nullopt;
  return text;
}
