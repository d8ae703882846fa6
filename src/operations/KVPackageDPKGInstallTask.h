#pragma once
// The install of one local archive with `dpkg -i` ("atp.install.ops"): its output
// classified for the verbose log, the archive deleted afterwards, the dpkg status read
// back; success for exit status 0, otherwise an error of code 34 with dpkg's "E: " and
// "W: " lines.
#include <string>

#include "operations/KVPackageToolTask.h"

class KVPackageDPKGInstallTask : public KVPackageToolTask {
 public:
  // initWithPackagePath:identifier: the archive and the package's identifier from its
  // control data.
  KVPackageDPKGInstallTask(std::string packagePath, std::string identifier);

  std::string className() const override { return "KVPackageDPKGInstallTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Install-" + identifier_; }
  std::string pipelineID() const override;
  std::string workDescription() const override;

  const std::string& packagePath() const { return packagePath_; }
  const std::string& identifier() const { return identifier_; }

 private:
  const std::string packagePath_;
  const std::string identifier_;
};
