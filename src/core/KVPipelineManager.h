#pragma once
// The one pipeline on which all long work runs as tasks. It keeps the visible task
// list, counts source refreshes, announces queuing, status, progress and end, and
// when it becomes empty queues the deferred cache update and carries out the
// post-install actions.
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/KVTask.h"
#include "foundation/Error.h"
#include "foundation/OperationQueue.h"

inline constexpr const char* KVPipelinePackageOperation = "package.ops";
inline constexpr const char* KVPipelinePackageDownloadOperation = "download.ops";
inline constexpr const char* KVPipelinePackageATPInstallOperation = "atp.install.ops";
inline constexpr const char* KVPipelineSourceRefresh = "source.ops";
inline constexpr const char* KVPipelineSourceRefreshComplete = "source.ops.done";
inline constexpr const char* KVPipelineMisc = "misc";
inline constexpr const char* KVPipelineSearch = "search";
inline constexpr const char* KVPipelineErrors = "errors";
inline constexpr const char* KVPipelineSynchronization = "synchronization";
inline constexpr const char* KVPipelineCacheOperation = "cache.ops";

inline constexpr const char* KVPipelineTaskQueuedNotification = "com.korvale.quillbark.task.queued";
inline constexpr const char* KVPipelineTaskFinishedNotification = "com.korvale.quillbark.task.finished";
inline constexpr const char* KVPipelineTaskStatusNotification = "com.korvale.quillbark.task.status";
inline constexpr const char* KVPipelineTaskProgressNotification = "com.korvale.quillbark.task.progress";
inline constexpr const char* KVPipelineTaskChangedNotification = "com.korvale.quillbark.task.changed";

inline constexpr const char* KVPipelineUserInfoPipelineID = "pipelineID";
inline constexpr const char* KVPipelineUserInfoTaskID = "taskID";
inline constexpr const char* KVPipelineUserInfoSuccess = "success";
inline constexpr const char* KVPipelineUserInfoError = "error";
inline constexpr const char* KVPipelineUserInfoProgress = "progress";
inline constexpr const char* KVPipelineUserInfoStatus = "status";

// What the pipeline needs of subsystems built around it. Each has a harmless default;
// the application wires the real ones at start-up, tests wire recording ones.
struct KVPipelineServices {
  // Runs one shell command line and waits for it. Every command the pipeline runs
  // (uicache, killall, respring, reboot) goes through here.
  std::function<void(const std::string& commandLine)> runCommand;
  // Background-execution grants: begin answers 0 when refused; the expiry handler is
  // called when the grant runs out.
  std::function<uint64_t(std::function<void()> expiry)> beginBackgroundTask;
  std::function<void(uint64_t)> endBackgroundTask;
  std::function<void(bool)> setIdleTimerDisabled;
  // Clears the sources manager's refresh-in-progress flag and current refresh date.
  std::function<void()> refreshBatchEnded;
  // A new cache-update task, or nullptr when none can be made.
  std::function<std::shared_ptr<KVTask>()> makeCacheUpdateTask;
  // The APT layer's current queue of identifiers.
  std::function<std::vector<std::string>()> aptQueueIdentifiers;
  // A package record's post-install action and installed files; false when there is
  // no record.
  std::function<bool(const std::string& identifier, std::string& postInstallAction,
                     std::vector<std::string>& installedFiles)>
      packageInstallInfo;
  // Presents the post-install alert card: title, message, close title, other button
  // title, and what the other button does.
  std::function<void(const std::string& title, const std::string& message, const std::string& closeTitle,
                     const std::string& otherTitle, std::function<void()> otherAction)>
      presentPostInstallAlert;
};

class KVPipelineManager {
 public:
  static KVPipelineManager& sharedManager();

  void queueTask(std::shared_ptr<KVTask> task);
  void taskDoneWithSuccess(KVTask* task);
  void taskDoneWithError(KVTask* task, ErrorRef error);
  void taskStatusChanged(KVTask* task);
  void taskProgressChanged(KVTask* task);
  void cancelTask(KVTask* task);
  void cancelAllTasksAndDontNotify();
  bool hasTaskWithIdentifier(const std::string& taskID) const;
  bool hasTaskOfType(const std::string& className, const KVTask* excluding) const;
  void setLaunchCacheRebuild(bool launch);
  bool launchCacheRebuild() const;
  void runCommand(const std::string& commandLine);
  void launchRespringCommand();
  void launchRebootCommand();
  void setShowPIAAlert(bool show);
  bool showPIAAlert() const;

  std::vector<std::shared_ptr<KVTask>> tasksArray() const;
  std::set<std::string> piaArray() const;
  uint32_t sourceRefreshCount() const;
  OperationQueue& pipelineOperationQueue() { return *queue_; }
  std::shared_ptr<UIImage> icon() const;

  // Adds an operation wrapped in a background-execution grant; false (and nothing
  // added) when the grant is refused.
  bool addBackgroundOperation(std::shared_ptr<Operation> operation);

  KVPipelineServices& services() { return services_; }
  // Drops every task and resets the counters and flags; services are kept. For tests.
  void resetForTesting();

 private:
  KVPipelineManager();
  void taskDone(KVTask* task, bool success, ErrorRef error);
  void collectPostInstallActions(KVTask* task);
  void launchPIA();

  mutable std::recursive_mutex mutex_;
  std::shared_ptr<OperationQueue> queue_;
  std::shared_ptr<UIImage> icon_;
  std::vector<std::shared_ptr<KVTask>> tasksArray_;
  std::set<std::string> piaArray_;
  bool launchCacheRebuild_ = false;
  bool showPIAAlert_ = true;
  uint32_t sourceRefreshCount_ = 0;
  KVPipelineServices services_;
};
