#include "core/KVPipelineManager.h"

#include <algorithm>
#include <atomic>

#include "core/KVConnections.h"
#include "core/KVPlatform.h"
#include "core/ShellCommand.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"

namespace {
constexpr int kMaxConcurrentTasks = 15;

bool queueHasTask(const OperationQueue& queue, const std::string& taskID) {
  for (const auto& op : queue.operations()) {
    auto task = std::dynamic_pointer_cast<KVTask>(op);
    if (task && task->taskID() == taskID) return true;
  }
  return false;
}

bool isIconFetchTask(const KVTask& task) {
  std::string cls = task.className();
  return cls == "KVPackageIconFetch" || cls == "KVSourceIconFetch";
}

Value taskInfo(const KVTask& task) {
  return Value::dict({{KVPipelineUserInfoTaskID, task.taskID()}, {KVPipelineUserInfoPipelineID, task.pipelineID()}});
}

// A worker posts the finished notice on the main thread and waits for its observers, so
// the main thread must never wait for a worker: debug builds stop at such a wait.
std::shared_ptr<OperationQueue> makePipelineQueue() {
  auto queue = std::make_shared<OperationQueue>();
  queue->setMaxConcurrentOperationCount(kMaxConcurrentTasks);
  queue->setName("KVPipelineQueue");
  queue->setMainThreadMustNotWait(true);
  return queue;
}

std::shared_ptr<const KVConnections> connections() { return KVConnections::current("KVPipelineManager"); }

std::shared_ptr<KVTask> sharedTask(KVTask* task) {
  // A task not held by a shared pointer (yet or any more) has none to hand out.
  return task ? std::static_pointer_cast<KVTask>(task->weak_from_this().lock()) : nullptr;
}
}  // namespace

KVPipelineManager& KVPipelineManager::sharedManager() {
  static KVPipelineManager* manager = new KVPipelineManager();
  return *manager;
}

KVPipelineManager::KVPipelineManager() : queue_(makePipelineQueue()) {
  // A flag under the lock: told on whatever thread posts.
  piaStatusObservation_ = NotificationCenter::defaultCenter().addObserver(
      "ChangeShowPIAAlertStatus", NotificationCenter::kPostingThread,
      [this](const Notification& n) { setShowPIAAlert(n.userInfo["showPIAAlertStatus"].asBool()); });
}

void KVPipelineManager::resetForTesting() {
  queue_->cancelAllOperations();
  std::lock_guard<std::mutex> lock(mutex_);
  queue_ = makePipelineQueue();
  tasksArray_.clear();
  piaArray_.clear();
  launchCacheRebuild_ = false;
  showPIAAlert_ = true;
  sourceRefreshCount_ = 0;
  sourceRefreshOutcomes_.clear();
  sourceRefreshFailures_.clear();
  refreshesSaidFailed_.clear();
  icon_.reset();
}

bool KVPipelineManager::hasTaskWithIdentifier(const std::string& taskID) const {
  std::shared_ptr<OperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue = queue_;
  }
  return queueHasTask(*queue, taskID);
}

bool KVPipelineManager::hasTaskOfType(const std::string& className, const KVTask* excluding) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::any_of(tasksArray_.begin(), tasksArray_.end(), [&](const auto& t) {
    return t->className() == className && t.get() != excluding;
  });
}

bool KVPipelineManager::queueTask(std::shared_ptr<KVTask> task) {
  if (!task) return false;
  // The duplicate test and the adding are one step, so two threads queueing the same
  // identifier at once can't both get through.
  std::unique_lock<std::mutex> lock(mutex_);
  if (queueHasTask(*queue_, task->taskID())) {
    KVLog("KVPipelineManager: task %s is already in the pipeline, ignoring.", task->taskID().c_str());
    return false;
  }
  auto idle = connections()->environment.setIdleTimerDisabled;
  performOnMainThread([idle] { idle(true); });
  if (task->pipelineID() == KVPipelinePackageOperation) {
    queue_->setMaxConcurrentOperationCount(1);
  } else {
    queue_->setMaxConcurrentOperationCount(kMaxConcurrentTasks);
    if (task->pipelineID() == KVPipelineSourceRefresh) {
      if (sourceRefreshCount_ == 0) {  // a new run
        sourceRefreshOutcomes_.clear();
        sourceRefreshFailures_.clear();
      }
      ++sourceRefreshCount_;
      if (auto i = task->icon()) icon_ = i;
    }
  }
  bool added = addBackgroundOperationTo(*queue_, task);
  if (!added) {
    // Without a grant the task would never run; it is not announced or listed.
    KVLog("KVPipelineManager: no background time for task %s, not queued.", task->taskID().c_str());
    if (task->pipelineID() == KVPipelineSourceRefresh && sourceRefreshCount_ > 0) --sourceRefreshCount_;
    return false;
  }
  if (!isIconFetchTask(*task)) tasksArray_.push_back(task);
  lock.unlock();
  Notification n{KVPipelineTaskQueuedNotification, Value(), taskInfo(*task), task, nullptr};
  NotificationCenter::defaultCenter().post(n);
  return true;
}

bool KVPipelineManager::addBackgroundOperation(std::shared_ptr<Operation> operation) {
  std::shared_ptr<OperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue = queue_;
  }
  return addBackgroundOperationTo(*queue, std::move(operation));
}

bool KVPipelineManager::addBackgroundOperationTo(OperationQueue& queue, std::shared_ptr<Operation> operation) {
  std::weak_ptr<Operation> weak = operation;
  auto grantOpen = std::make_shared<std::atomic<bool>>(true);
  auto grantId = std::make_shared<std::atomic<uint64_t>>(0);
  auto wired = connections();
  auto endGrant = wired->environment.endBackgroundTask;
  uint64_t grant = wired->environment.beginBackgroundTask([weak, grantOpen, grantId, endGrant] {
    if (auto op = weak.lock()) op->cancel();
    if (grantOpen->exchange(false)) endGrant(grantId->load());
  });
  if (grant == 0) return false;
  grantId->store(grant);
  operation->setCompletionBlock([grantOpen, grantId, endGrant] {
    if (grantOpen->exchange(false)) endGrant(grantId->load());
  });
  queue.addOperation(std::move(operation));
  return true;
}

void KVPipelineManager::taskDoneWithSuccess(KVTask* task) { taskDone(task, true, nullptr); }
void KVPipelineManager::taskDoneWithError(KVTask* task, ErrorRef error) { taskDone(task, false, std::move(error)); }

void KVPipelineManager::taskDone(KVTask* task, bool success, ErrorRef error) {
  if (!task) return;
  collectPostInstallActions(task);
  bool refreshBatchEnded = false;
  const bool refresh = task->pipelineID() == KVPipelineSourceRefresh;
  const std::string source = refresh ? task->taskLocalizedObjectName() : std::string();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase_if(tasksArray_, [task](const auto& t) { return t.get() == task; });
    if (refresh && sourceRefreshCount_ > 0) {
      auto said = refreshesSaidFailed_.find(task);
      std::string reason = said != refreshesSaidFailed_.end() ? said->second
                           : error                            ? error->localizedDescription()
                                                              : std::string();
      const bool refreshed = success && said == refreshesSaidFailed_.end();
      if (said != refreshesSaidFailed_.end()) refreshesSaidFailed_.erase(said);
      sourceRefreshOutcomes_[task->taskID()] = refreshed;
      // A source refreshed again in the run counts as its last refresh ended.
      std::erase_if(sourceRefreshFailures_, [&](const auto& failure) { return failure.first == task->taskID(); });
      if (!refreshed) sourceRefreshFailures_.emplace_back(task->taskID(), reason.empty() ? source : source + ": " + reason);
      --sourceRefreshCount_;
      refreshBatchEnded = sourceRefreshCount_ == 0;
    }
  }
  if (refreshBatchEnded) {
    connections()->sources->refreshBatchEnded();
    NotificationCenter::defaultCenter().postOnMainThreadAsync(
        Notification{KVPipelineSourceRefreshComplete, Value(), Value(), nullptr, nullptr});
  }

  std::shared_ptr<OperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue = queue_;
  }
  for (const auto& op : queue->operations()) {
    auto queued = std::dynamic_pointer_cast<KVTask>(op);
    if (!queued || queued->taskID() != task->taskID()) continue;
    Value info = taskInfo(*task);
    info.set(KVPipelineUserInfoError, Value());  // the error itself travels in Notification::error
    info.set(KVPipelineUserInfoSuccess, success);
    Notification n{KVPipelineTaskFinishedNotification, Value(), info, sharedTask(task),
                   success ? nullptr : error};
    NotificationCenter::defaultCenter().postOnMainThreadAndWait(std::move(n));
  }

  bool empty, runCacheUpdate = false, runPIA = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    empty = tasksArray_.empty();
    if (empty) {
      runCacheUpdate = launchCacheRebuild_;
      if (runCacheUpdate) launchCacheRebuild_ = false;
    }
  }
  if (!empty) return;
  if (runCacheUpdate) {
    if (auto cacheTask = connections()->cacheUpdate->makeCacheUpdateTask()) queueTask(cacheTask);
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    runPIA = !piaArray_.empty();
  }
  if (runPIA) launchPIA();
}

void KVPipelineManager::collectPostInstallActions(KVTask* task) {
  if (task->className() != "KVPackageAPTOperationTask") return;
  auto packages = connections()->packages;
  for (const auto& identifier : task->queuedIdentifiers()) {
    auto info = packages->packageInstallInfo(identifier);
    if (!info) continue;
    const std::string& action = info->postInstallAction;
    const std::vector<std::string>& files = info->installedFiles;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!action.empty() && action != "uicache") piaArray_.insert(action);
    if (!piaArray_.count("respring")) {
      for (const auto& path : files) {
        if (path.find("/Library/MobileSubstrate") != std::string::npos ||
            path.find("/Applications/Quillbark") != std::string::npos) {
          piaArray_.insert("respring");
          break;
        }
      }
    }
    for (const auto& path : files) {
      auto app = path.find(".app");
      if (path.find("/Applications") != std::string::npos && app != std::string::npos) {
        piaArray_.insert("uicache -p " + path.substr(0, app + 4));
        break;
      }
    }
  }
}

void KVPipelineManager::launchPIA() {
  std::set<std::string> actions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    actions.swap(piaArray_);
  }
  if (actions.count("respring") && actions.count("reboot")) actions.erase("respring");
  bool respring = false, reboot = false;
  int tool = KVPlatform::jailbreakTool();
  for (const auto& action : actions) {
    if (action.find("uicache") != std::string::npos) {
      if (tool >= 1 && tool <= 4) {
        // "uicache -p <bundle path>": the path comes from a package's file list, so it
        // is passed as one quoted argument, never as shell text.
        std::string line = ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/uicache"));
        const std::string prefix = "uicache -p ";
        if (action.rfind(prefix, 0) == 0) line += " -p " + ShellCommand::quote(action.substr(prefix.size()));
        else if (action != "uicache") line += " " + ShellCommand::quote(action.substr(action.find("uicache") + 7));
        runDeviceTool(line);
      } else {
        runDeviceTool(ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/uicache")));
      }
    } else if (action.rfind("kill ", 0) == 0) {
      // Every word after "kill" is a process name, each passed as its own argument.
      std::string line = ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/killall"));
      for (const auto& word : ShellCommand::splitWords(action.substr(5))) {
        if (word == "kill") line += " " + ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/killall"));
        else line += " " + ShellCommand::quote(word);
      }
      runDeviceTool(line);
    } else if (action == "respring") {
      respring = true;
    } else if (action == "reboot") {
      reboot = true;
    }
  }
  bool show = showPIAAlert();
  auto present = connections()->environment.presentAlertCard;
  performOnMainThread([this, show, respring, reboot, present] {
    if (show) {
      if (!respring && !reboot) return;
      std::string title = NSLocalizedString("Post Install Action");
      if (reboot) {
        present({title, NSLocalizedString("Do you want to reboot now or later?"), NSLocalizedString("Later"),
                 NSLocalizedString("Reboot now"), [this] { launchRebootCommand(); }});
      } else {
        present({title, NSLocalizedString("Do you want to respring now or later?"), NSLocalizedString("Later"),
                 NSLocalizedString("Respring now"), [this] { launchRespringCommand(); }});
      }
      return;
    }
    std::string action = reboot ? "Reboot" : respring ? "Respring" : "None";
    NotificationCenter::defaultCenter().postOnMainThreadAsync(
        Notification{"UpdateVerboseActionButton", Value(), Value::dict({{"action", action}}), nullptr, nullptr});
  });
}

void KVPipelineManager::taskStatusChanged(KVTask* task) {
  if (!task) return;
  Value info = taskInfo(*task);
  info.set(KVPipelineUserInfoStatus, task->taskDescription());
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{KVPipelineTaskStatusNotification, Value(), info, sharedTask(task), nullptr});
}

void KVPipelineManager::taskProgressChanged(KVTask* task) {
  if (!task) return;
  Value info = taskInfo(*task);
  info.set(KVPipelineUserInfoProgress, task->taskProgress());
  NotificationCenter::defaultCenter().postOnMainThreadAsync(
      Notification{KVPipelineTaskProgressNotification, Value(), info, sharedTask(task), nullptr});
}

void KVPipelineManager::cancelTask(KVTask* task) {
  if (!task) return;
  if (!hasTaskWithIdentifier(task->taskID())) return;
  task->taskCancel();
  taskDoneWithSuccess(task);
}

void KVPipelineManager::cancelAllTasksAndDontNotify() {
  std::shared_ptr<OperationQueue> queue;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue = queue_;
    tasksArray_.clear();
  }
  queue->cancelAllOperations();
}

void KVPipelineManager::setLaunchCacheRebuild(bool launch) {
  std::lock_guard<std::mutex> lock(mutex_);
  launchCacheRebuild_ = launch;
}
bool KVPipelineManager::launchCacheRebuild() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return launchCacheRebuild_;
}

int KVPipelineManager::runCommand(const std::string& commandLine) {
  int status = connections()->environment.runCommand(commandLine);
  if (status == -1) KVLog("The command could not be started: %s", commandLine.c_str());
  return status;
}

bool KVPipelineManager::runDeviceTool(const std::string& commandLine) {
  if (DeviceRoot::isRealDevice()) return runCommand(commandLine) != -1;
  return runThroughLauncher(commandLine);
}

bool KVPipelineManager::runThroughLauncher(const std::string& innerCommand) {
  // The host runs the root's launcher itself: it must be the one built here.
  std::string error;
  if (!DeviceRootBuilder::ensureLauncher(&error)) {
    KVLog("Not running %s: the launcher of the device root can't be trusted: %s", innerCommand.c_str(),
          error.c_str());
    return false;
  }
  return runCommand(ShellCommand::quote(DeviceRoot::devicePath(DeviceRootBuilder::kRebootLauncherPath)) + " " +
                    ShellCommand::quote(innerCommand)) != -1;
}

bool KVPipelineManager::launchRespringCommand() {
  std::string sbreload = DeviceRoot::devicePath("/usr/bin/sbreload");
  if (Files::exists(sbreload)) return runDeviceTool(ShellCommand::quote(sbreload));
  return runDeviceTool(ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/killall")) + " SpringBoard");
}

bool KVPipelineManager::launchRebootCommand() { return runThroughLauncher(DeviceRoot::devicePath("/sbin/reboot")); }

void KVPipelineManager::setShowPIAAlert(bool show) {
  std::lock_guard<std::mutex> lock(mutex_);
  showPIAAlert_ = show;
}
bool KVPipelineManager::showPIAAlert() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return showPIAAlert_;
}

std::vector<std::shared_ptr<KVTask>> KVPipelineManager::tasksArray() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tasksArray_;
}
std::set<std::string> KVPipelineManager::piaArray() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return piaArray_;
}
uint32_t KVPipelineManager::sourceRefreshCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sourceRefreshCount_;
}
void KVPipelineManager::sourceRefreshFailed(KVTask* task, const std::string& reason) {
  if (!task || task->pipelineID() != KVPipelineSourceRefresh) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (sourceRefreshCount_ > 0) refreshesSaidFailed_[task] = reason;
}
std::vector<std::string> KVPipelineManager::sourceRefreshFailures() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> texts;
  for (const auto& failure : sourceRefreshFailures_) texts.push_back(failure.second);
  return texts;
}
uint32_t KVPipelineManager::sourceRefreshFailureCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(std::count_if(sourceRefreshOutcomes_.begin(), sourceRefreshOutcomes_.end(),
                                             [](const auto& outcome) { return !outcome.second; }));
}
uint32_t KVPipelineManager::sourceRefreshUpdatedCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<uint32_t>(std::count_if(sourceRefreshOutcomes_.begin(), sourceRefreshOutcomes_.end(),
                                             [](const auto& outcome) { return outcome.second; }));
}
std::shared_ptr<UIImage> KVPipelineManager::icon() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return icon_;
}
