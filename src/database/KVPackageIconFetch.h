#pragma once
// A task that fetches one package's icon: a HEAD request first (an icon that is gone
// clears the record's icon URL), then the download, stored as PNG in the icon cache
// and recorded on the package. Every end is a success for the pipeline.
#include <optional>
#include <string>

#include "database/KVIconFetchTask.h"

class KVPackageIconFetch : public KVIconFetchTask {
 public:
  // Takes the record's `iconURL`.
  static std::shared_ptr<KVPackageIconFetch> initWithPackage(const std::string& identifier);
  // Uses `overrideURL` when it is longer than 9 characters, else the record's `iconURL`.
  static std::shared_ptr<KVPackageIconFetch> initWithPackage(const std::string& identifier,
                                                             const std::string& overrideURL);

  std::string className() const override { return "KVPackageIconFetch"; }
  void taskStart() override;
  std::string taskID() const override { return "Icon-" + packageIdentifier_; }
  std::string taskDescription() const override;

  const std::string& packageIdentifier() const { return packageIdentifier_; }
  const std::optional<std::string>& packageIconURL() const { return packageIconURL_; }
  bool isUsingOverride() const { return isUsingOverride_; }

 private:
  KVPackageIconFetch() = default;
  void iconIsGone();

  std::string packageIdentifier_;
  std::optional<std::string> packageIconURL_;
  bool isUsingOverride_ = false;
};
