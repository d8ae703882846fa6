#include "app/KVDownloadStatsRegister.h"

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
    // The vendor service's statistics client is not built yet: what it would be sent is
    // said in the log, loudly, so nothing is lost silently.
    KVLog("*** No statistics client is built yet: the download of %s was not counted", identifier.c_str());
  }
}

std::map<std::string, bool> KVDownloadStatsRegister::entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}
