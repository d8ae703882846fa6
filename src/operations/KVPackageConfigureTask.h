#pragma once
// The setup, run again, of one package dpkg left unpacked or half-configured (the
// package's "Configure Again"): `dpkg --configure` through the launcher ("atp.install.ops"),
// its output in the verbose log, the dpkg status read back; success once the package is
// fully installed, otherwise an error of code 34 that names the package and its script's
// failure. The package's buttons hear "UpdateQueueStateNotification-" at the end.
#include <map>
#include <string>

#include "operations/KVPackageToolTask.h"

class KVPackageConfigureTask : public KVPackageToolTask {
 public:
  KVPackageConfigureTask(std::string identifier, std::string name);

  std::string className() const override { return "KVPackageConfigureTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Configure-" + identifier_; }
  std::string pipelineID() const override;
  std::string workDescription() const override;
  std::vector<std::string> queuedIdentifiers() const override { return {identifier_}; }

 private:
  KVRunVerdict judge(int32_t exitStatus, const std::string& output) const;

  const std::string identifier_;
  const std::string name_;
  std::map<std::string, KVDpkgRecord> before_;  // dpkg's records as the run found them
};
