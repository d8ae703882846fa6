#pragma once
// What the two tasks that run APT or dpkg on the device share (the APT-operation task and
// the dpkg-install task): the status line and progress they report, their cancelling
// before the command starts, the handling of the tool's output lines, and their end,
// decided by the tool's exit status once the dpkg status has been read back.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "core/KVTask.h"
#include "foundation/Error.h"
#include "operations/KVAPTManager.h"

// What a run that exited with an error did after all, as its task judges it once the
// dpkg status has been read back.
struct KVRunVerdict {
  bool succeeded = false;           // its own work was done all the same
  std::vector<std::string> faults;  // the packages at fault, with what went wrong
  std::vector<std::string> notes;   // what a person should know of a run that succeeded
};

class KVPackageToolTask : public KVTask {
 public:
  std::string taskDescription() const override;
  double taskProgress() const override { return progress_.load(); }
  bool taskCanCancel() const override { return canCancel_.load(); }
  // Before the command starts: the task ends as a success (nothing was done) and its
  // operation finishes. Afterwards nothing.
  void taskCancel() override;
  // What the task has the tools do, in words ("installing Example Tool"): said when a
  // person quits while it runs, and noted (KVPackageToolsRunNote) while its command runs.
  virtual std::string workDescription() const = 0;

 protected:
  KVPackageToolTask();
  void didCancel() override { taskCancel(); }

  void setStatus(const std::string& text);
  void setProgress(double progress);
  // The command starts: no cancelling any more.
  void beginCommand(const std::string& preparingText);
  // Shows one line of the tool's output: status, task status and the verbose log.
  void showOutput(const std::string& text);
  using Judge = std::function<KVRunVerdict(int32_t exitStatus, const std::string& output)>;
  // Reads the dpkg status back, then ends as the exit status says: a success, after
  // `doneStatus` was shown, or a failure (code 34) whose text starts with `errorHeading`
  // and carries the output's "E: " and "W: " lines, after `failedStatus` was shown.
  // `judge`, when given, decides a run that exited with an error: a success after its
  // notes, or a failure whose text names its faults first. `afterEnd` runs after the
  // report, before the operation finishes.
  void endAfterStatusImport(int32_t exitStatus, const std::string& output, const std::string& failedStatus,
                            const std::string& errorHeading, std::function<void()> afterEnd,
                            const std::string& doneStatus = "Done Installing", Judge judge = {});
  // The APT layer refused to run the command because another one runs: a failure with
  // the busy text, at once.
  void endRefusedAsBusy(const std::string& failedStatus, std::function<void()> afterEnd);

 private:
  void end(bool success, ErrorRef error, const std::function<void()>& afterEnd);

  mutable std::mutex mutex_;
  std::string status_;
  std::atomic<double> progress_{-1};
  std::atomic<bool> canCancel_{true};
  std::atomic<bool> ended_{false};
  std::atomic<bool> noted_{false};  // the run's note is this task's
};
