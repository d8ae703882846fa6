#include "app/KVDownloadStatsRegister.h"

#include "account/KVStatistics.h"
#include "database/KVRPackage.h"
#include "foundation/Log.h"

void KVDownloadStatsRegister::registerPackage(const std::string& identifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_[identifier] = false;
}

void KVDownloadStatsRegister::packageDownloaded(const std::string& identifier) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto entry = entries_.find(identifier);
  if (entry != entries_.end()) entry->second = true;
}

void KVDownloadStatsRegister::postDownloadStatsForRegisteredPackages() {
  std::map<std::string, bool> entries;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    entries.swap(entries_);
  }
  for (const auto& [identifier, downloaded] : entries) {
    if (!downloaded) continue;
    auto package = KVRPackage::objectForPrimaryKey(identifier);
    if (!package) {
      KVLog("No package record for %s: its download is not counted", identifier.c_str());
      continue;
    }
    // The service's answer is not used.
    KVStatistics::instance().postPackageStatisticForIdentifier(
        identifier, package->maintainer().value_or(""), package->sourceLocation().value_or(""),
        package->version().value_or(""), 1, 0, nullptr);
  }
}

std::map<std::string, bool> KVDownloadStatsRegister::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}
