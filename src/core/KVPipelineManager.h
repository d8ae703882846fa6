#pragma once
// The one pipeline on which all long work runs as tasks. It keeps the visible task
// list, counts source refreshes, announces queuing, status, progress and end, and
// when it becomes empty queues the deferred cache update and carries out the
// post-install actions. What it asks of the platform and of the managers above it comes
// through the connections the composition root installed (core/KVConnections.h).
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "core/KVTask.h"
#include "foundation/Error.h"
#include "foundation/NotificationToken.h"
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

class KVPipelineManager {
 public:
  static KVPipelineManager& sharedManager();

  // Answers whether the task was queued: not when one of the same identifier is already
  // there, nor when no background time was granted for it.
  bool queueTask(std::shared_ptr<KVTask> task);
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
  // The exit status, -1 when the command could not be started.
  int runCommand(const std::string& commandLine);
  // Whether the restart or reboot command could be started.
  bool launchRespringCommand();
  bool launchRebootCommand();
  void setShowPIAAlert(bool show);
  bool showPIAAlert() const;

  std::vector<std::shared_ptr<KVTask>> tasksArray() const;
  std::set<std::string> piaArray() const;
  uint32_t sourceRefreshCount() const;
  // A source refresh that ends normally but failed to refresh its source (its failure
  // is recorded on the source) says so here, and why, before it reports its end.
  void sourceRefreshFailed(KVTask* task, const std::string& reason);
  // The sources of the current run (or of the last, once it ended) whose refresh failed
  // (said so, or ended with an error), and those refreshed. A source refreshed twice in a
  // run, as when a refresh of all is asked for while one runs, counts once, as its last
  // refresh ended.
  uint32_t sourceRefreshFailureCount() const;
  uint32_t sourceRefreshUpdatedCount() const;
  // Each failed source of the run as "name: why", in the order their refreshes ended.
  std::vector<std::string> sourceRefreshFailures() const;
  OperationQueue& pipelineOperationQueue() { return *queue_; }
  std::shared_ptr<UIImage> icon() const;

  // Adds an operation wrapped in a background-execution grant; false (and nothing
  // added) when the grant is refused.
  bool addBackgroundOperation(std::shared_ptr<Operation> operation);

  // Drops every task and resets the counters and flags. For tests.
  void resetForTesting();

 private:
  KVPipelineManager();
  void taskDone(KVTask* task, bool success, ErrorRef error);
  void collectPostInstallActions(KVTask* task);
  void launchPIA();
  // Adds the operation to `queue` with its grant (the caller may hold mutex_).
  bool addBackgroundOperationTo(OperationQueue& queue, std::shared_ptr<Operation> operation);
  // The device tools lie in the device root, where a package can replace them: away from
  // a device they run through the root's launcher, in its sandbox, like every command of
  // the root; on a device as they are.
  bool runDeviceTool(const std::string& commandLine);
  bool runThroughLauncher(const std::string& innerCommand);

  // Never held while calling out of the pipeline, except into the operation queue and
  // the environment's background grant.
  mutable std::mutex mutex_;
  std::shared_ptr<OperationQueue> queue_;
  std::shared_ptr<UIImage> icon_;
  std::vector<std::shared_ptr<KVTask>> tasksArray_;
  std::set<std::string> piaArray_;
  bool launchCacheRebuild_ = false;
  bool showPIAAlert_ = true;
  uint32_t sourceRefreshCount_ = 0;
  std::map<std::string, bool> sourceRefreshOutcomes_;  // task identifier: refreshed
  std::vector<std::pair<std::string, std::string>> sourceRefreshFailures_;  // task identifier, "name: why"
  std::map<const KVTask*, std::string> refreshesSaidFailed_;  // and why
  NotificationToken piaStatusObservation_;
};
