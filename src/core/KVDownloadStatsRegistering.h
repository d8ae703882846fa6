#pragma once
// The register of packages whose download is to be counted by the vendor service: the
// application delegate keeps it, queueing a package enters it, and the download task,
// built below the delegate, marks what has arrived and has the marked ones sent before
// the APT run. The composition root hands the delegate's register down.
#include <string>

class KVDownloadStatsRegistering {
 public:
  virtual ~KVDownloadStatsRegistering() = default;
  // The package's archive has arrived: an entry waiting for it is marked to be sent; a
  // package that was never entered stays out.
  virtual void packageDownloaded(const std::string& identifier) = 0;
  // Sends the marked entries and empties the register.
  virtual void postDownloadStatsForRegisteredPackages() = 0;
};
