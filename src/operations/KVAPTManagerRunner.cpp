// The runner: one APT or dpkg command at a time, through the launcher, with the last
// command's output and status kept process-wide.
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

#include "core/KVConnections.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "launcher/LauncherEnvironment.h"
#include "operations/KVAPTManager.h"
#include "operations/KVStreamingTask.h"
#include "system/DeviceRootBuilder.h"
#include "system/DpkgStatusFile.h"

namespace {
std::atomic<bool> gRunning{false};
// Never destroyed: a command, or a build of the caches ahead, can still be running on
// another thread when the process ends, and signal or write this as it ends.
struct RunnerState {
  std::mutex mutex;
  std::optional<std::string> output;
  int32_t status = 0;
  // The caches built ahead of a refresh's end: while they are built, other commands
  // wait for them rather than find the runner busy (nobody asked for that run).
  std::mutex aheadMutex;
  std::condition_variable aheadEnded;
  bool aheadRunning = false;
  // Counts changes to what APT builds its caches from; caches built ahead are still
  // right when none came since their build began.
  uint64_t inputsGeneration = 0;
  bool builtAheadStillRight = false;
};
RunnerState& state() {
  static RunnerState* shared = new RunnerState();
  return *shared;
}

void waitForCachesAhead() {
  std::unique_lock<std::mutex> lock(state().aheadMutex);
  state().aheadEnded.wait(lock, [] { return !state().aheadRunning; });
}

// Gives the one-command flag back however the run ends (a block may throw).
struct RunningScope {
  bool released = false;
  void release() {
    if (!released) gRunning = false;
    released = true;
  }
  ~RunningScope() { release(); }
};
// Every root command is refused on a machine where the sandbox can't be made: the user
// is told once, with the launcher's reason, and each refused command's output carries
// that reason too.
void sayOnceThatThereIsNoSandbox(const std::string& output) {
  static std::once_flag said;
  std::call_once(said, [&] {
    KVLog("The package tools' sandbox can't be made on this machine, so no APT or dpkg command runs:\n%s",
          output.c_str());
    if (!KVConnections::installed()) return;
    size_t at = output.find(launcher::kNoSandboxMessage);
    std::string reason = output.substr(at + std::strlen(launcher::kNoSandboxMessage));
    reason = reason.substr(0, reason.find('\n'));
    KVAlertCard card{NSLocalizedString("Package Tools Unavailable"),
                     NSLocalizedString("The sandbox that APT and dpkg run in can't be made on this machine, so "
                                       "nothing is installed, removed or upgraded.") +
                         "\n\n" + reason,
                     NSLocalizedString("Close"), "", nullptr};
    auto present = KVConnections::current("KVAPTManager")->environment.presentAlertCard;
    performOnMainThread([present, card = std::move(card)]() mutable { present(std::move(card)); });
  });
}
}  // namespace

const std::string& KVAPTManager::busyText() {
  static const std::string text = "APT is busy, you can only run one APT operation at a time." + std::string(32, ' ') +
                                  "Please wait for the process to finish before starting a new one";
  return text;
}

std::optional<std::string> KVAPTManager::output() {
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().output;
}

int32_t KVAPTManager::status() {
  if (gRunning) return kRunningStatus;
  std::lock_guard<std::mutex> lock(state().mutex);
  return state().status;
}

bool KVAPTManager::running() { return gRunning; }

void KVAPTManager::generateCachesAhead() {
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(state().aheadMutex);
    if (state().aheadRunning) return;
    state().aheadRunning = true;
    generation = state().inputsGeneration;
  }
  performOnDefaultThread([generation] {
    KVAPTCommandResult caches = runAsRootNow(generateCachesCommand(), {}, {});
    // Only a head start: the cache task builds them again, and says so, if they are not
    // right by then.
    if (!caches.succeeded()) KVLog("The package caches could not be built ahead:\n%s", caches.output.c_str());
    {
      std::lock_guard<std::mutex> lock(state().aheadMutex);
      state().aheadRunning = false;
      state().builtAheadStillRight = caches.succeeded() && generation == state().inputsGeneration;
    }
    state().aheadEnded.notify_all();
  });
}

void KVAPTManager::inputsChanged() {
  std::lock_guard<std::mutex> lock(state().aheadMutex);
  ++state().inputsGeneration;
  state().builtAheadStillRight = false;
}

bool KVAPTManager::takeCachesBuiltAhead() {
  std::unique_lock<std::mutex> lock(state().aheadMutex);
  state().aheadEnded.wait(lock, [] { return !state().aheadRunning; });
  return std::exchange(state().builtAheadStillRight, false);
}

KVAPTCommandResult KVAPTManager::commandResultForCommandAsRoot(const std::string& commandLine, UpdateBlock update,
                                                               CompletionBlock completion) {
  waitForCachesAhead();
  // Any command may change what the caches are built from (dpkg's status, above all).
  inputsChanged();
  return runAsRootNow(commandLine, std::move(update), std::move(completion));
}

KVAPTCommandResult KVAPTManager::runAsRootNow(const std::string& commandLine, UpdateBlock update,
                                              CompletionBlock completion) {
  KVAPTCommandResult result;
  // The test and the setting of the flag are one step, so two callers can't both start.
  bool expected = false;
  if (!gRunning.compare_exchange_strong(expected, true)) {
    result.output = busyText();
    return result;
  }
  RunningScope scope;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    state().output.reset();
  }
  // The host runs the root's launcher itself: it must be the one built here.
  std::string untrusted;
  if (!DeviceRootBuilder::ensureLauncher(&untrusted))
    return refusedCommand("The launcher of the device root can't be trusted: " + untrusted, update);
  // The tools would wait on a named pipe for good, or take in gigabytes, and read what
  // no device holds as what is installed.
  if (auto unreadable = DpkgStatusFile::problem()) return refusedCommand(DpkgStatusFile::explanation(*unreadable), update);
  result.ran = true;
  KVStreamingTask task;
  task.runStreamingCommand(commandLine, [&](const std::string& piece, const std::string& whole, bool finished,
                                            int32_t exitStatus) {
    {
      // Appended piece by piece: a copy of the whole output per line would make a long
      // maintainer script's output cost the square of its length.
      std::lock_guard<std::mutex> lock(state().mutex);
      if (state().output) state().output->append(piece);
      else state().output = piece;
    }
    if (finished) {
      KVLog("FULL OUTPUT: \n%s", whole.c_str());
      if (exitStatus == launcher::kNoSandboxStatus && whole.find(launcher::kNoSandboxMessage) != std::string::npos)
        sayOnceThatThereIsNoSandbox(whole);
      result.output = whole;
      result.status = exitStatus;
      {
        std::lock_guard<std::mutex> lock(state().mutex);
        state().status = exitStatus;
      }
      if (completion) completion();
      scope.release();
    }
    if (update) update(piece, whole, finished, exitStatus);
  });
  return result;
}

std::string KVAPTManager::resultsForCommandAsRoot(const std::string& commandLine, UpdateBlock update,
                                                  CompletionBlock completion) {
  return commandResultForCommandAsRoot(commandLine, std::move(update), std::move(completion)).output;
}

void KVAPTManager::runCommandAsRoot(const std::string& commandLine, UpdateBlock update, CompletionBlock completion) {
  commandResultForCommandAsRoot(commandLine, std::move(update), std::move(completion));
}

std::optional<std::string> KVAPTManager::resultsForCommandAsRoot(const std::string& commandLine) {
  auto result = commandResultForCommandAsRoot(commandLine);
  if (!result.ran) return std::nullopt;
  return result.output;
}
