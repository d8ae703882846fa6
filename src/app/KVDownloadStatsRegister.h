#pragma once
// The application delegate's register of packages whose download the vendor service is
// to count: queueing a package enters it as waiting, its arrived archive marks it, and
// the marked ones are sent before the APT run. Queueing writes it from the main thread
// and from the payment client's threads, the download task from its own: one lock.
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/KVDownloadStatsRegistering.h"

class KVDownloadStatsRegister : public KVDownloadStatsRegistering {
 public:
  // The package waits for its archive (entry NO).
  void registerPackage(const std::string& identifier);
  void packageDownloaded(const std::string& identifier) override;
  void postDownloadStatsForRegisteredPackages() override;

  // Every entry: identifier and whether its archive has arrived.
  std::map<std::string, bool> entries() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, bool> entries_;
};
