#pragma once
// Saves the user's setup (the locations of the configured sources and the identifiers
// of the installed packages) on the vendor's service, as one task on the pipeline. Its
// status lines go to the verbose log; its result, success or not, is announced on the
// main queue by "QuillbarkSetupBackupDone" with the user info {"title": "Quillbark Setup
// Backup", "message": the result}, after the task has told the pipeline it ended, always
// as a success. Only one can be queued or running at a time ("Setup-Backup").
//
// Without an account (user id 0) nothing is sent: the result says so.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "core/KVTask.h"

inline constexpr const char* KVQuillbarkSetupBackupDoneNotification = "QuillbarkSetupBackupDone";

class KVBackupQuillbarkSetupTask : public KVTask {
 public:
  static constexpr const char* kTitle = "Quillbark Setup Backup";

  KVBackupQuillbarkSetupTask(int64_t userID, std::vector<std::string> configuredSources,
                             std::vector<std::string> installedPackages);

  std::string className() const override { return "KVBackupQuillbarkSetupTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Setup-Backup"; }
  std::string pipelineID() const override;
  std::string taskDescription() const override { return "Saving the user setup..."; }
  double taskProgress() const override { return progress_.load(); }
  bool isConcurrent() const { return true; }

  int64_t userID() const { return userID_; }
  const std::vector<std::string>& sources() const { return sources_; }
  const std::vector<std::string>& packages() const { return packages_; }
  std::string status() const;

  // Posts "UpdateVerboseView" with the line and whether it reports a failure.
  static void updateVerboseViewWithMessage(const std::string& message, bool isError);

 private:
  void setStatus(const std::string& status);
  // On the main queue: the result told, announced, and the task ended.
  void finishWithResult(const std::string& result);

  const int64_t userID_;
  const std::vector<std::string> sources_;
  const std::vector<std::string> packages_;
  mutable std::mutex mutex_;
  std::string status_ = "Waiting for connection...";
  std::atomic<double> progress_{0};
};
