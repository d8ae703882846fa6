// A source's list file that APT refuses to read. APT then refuses every command, for
// every source: the list is set aside so that the other sources' packages still install,
// and the source says why until a refresh fetches its index again.
#include <string_view>

#include "core/KVPipelineManager.h"
#include "database/KVRSource.h"
#include "database/KVSourceRefresh.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "operations/KVAPTManager.h"
#include "operations/TextLines.h"
#include "store/Store.h"
#include "system/DeviceFiles.h"

namespace {
// The file an error line of APT's names: "Unable to parse package file PATH (N)",
// "Problem with MergeList PATH".
std::optional<std::string> refusedFile(std::string_view line) {
  constexpr std::string_view kUnparsable = "E: Unable to parse package file ", kMerge = "E: Problem with MergeList ";
  if (line.starts_with(kMerge)) return std::string(line.substr(kMerge.size()));
  if (!line.starts_with(kUnparsable)) return std::nullopt;
  line.remove_prefix(kUnparsable.size());
  if (size_t count = line.rfind(" ("); count != std::string_view::npos && line.ends_with(")")) line = line.substr(0, count);
  return std::string(line);
}
}  // namespace

std::optional<APTUnreadableSource> KVAPTManager::unreadableSourceInOutput(const std::string& output) {
  std::string reason, file;
  for (const auto& line : linesOf(output)) {
    if (line.rfind("E: ", 0) != 0) continue;
    if (reason.empty()) reason = line.substr(3);  // the first says most
    if (auto named = refusedFile(line); named && file.empty()) file = Files::lastPathComponent(*named);
  }
  if (file.empty()) return std::nullopt;
  // APT names the file as the sandbox sees it: the list files' names tell the source.
  for (const auto& source : KVRSource::allObjects().all()) {
    if (Files::lastPathComponent(packagesPathForSource(source.location())) != file) continue;
    const std::string name = source.name().value_or("");
    return APTUnreadableSource{source.location(), name.empty() ? source.location() : name, reason, false};
  }
  return std::nullopt;
}

bool KVAPTManager::setAsideList(const APTUnreadableSource& source) {
  if (KVPipelineManager::sharedManager().hasTaskWithIdentifier(KVSourceRefresh::taskIDForLocation(source.location)))
    return false;
  const std::string path = packagesPathForSource(source.location);
  std::string reason;
  if (!DeviceFiles::removeItem(path, &reason) || Files::exists(path)) {
    KVLog("The list of %s that APT can't read could not be set aside: %s", source.location.c_str(), reason.c_str());
    return false;
  }
  DeviceFiles::removeItem(aheadMarkerPathForSource(source.location));
  inputsChanged();
  KVLog("The list of %s was set aside, APT can't read it: %s", source.location.c_str(), source.reason.c_str());
  auto db = store::Database::defaultDatabase();
  if (!db) return true;
  ErrorRef written = db->write([&] {
    auto stored = db->objectForPrimaryKey(KVRSource::className(), source.location);
    if (!stored) return;
    KVRSource record = KVRSource::fromObject(*stored);
    record.setHasErrors(true);
    record.setDescription(NSLocalizedFormat(
        "APT can't read the packages of this source (%@): they were set aside. Refresh the source or remove it.",
        {source.reason}));
    db->addOrUpdate(record.toObject());
  });
  if (written) KVLog("The source %s could not be marked: %s", source.location.c_str(), written->localizedDescription().c_str());
  return true;
}
