#pragma once
// The APT run of a whole queue ("atp.install.ops"): one `apt-get install` of the queue
// string through the launcher (installs, upgrades, downgrades, reinstalls and removals
// in one run), its output filtered, named and classified for the verbose log, then the
// queue state of every package cleared, the archives removed and the dpkg status read
// back; it ends with success for exit status 0, otherwise with an error of code 34
// whose text holds APT's "E: " and "W: " lines. Every package of the queue hears
// "UpdateQueueStateNotification-" with {"Message": "Finished Operation"} at the end.
// Errors of packages dpkg had not finished with before the run do not fail it when its
// own packages are in place: they are named as broken before; a failed run names the
// packages at fault and their script's failure.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/KVPackageDownloading.h"
#include "operations/KVPackageToolTask.h"

class KVPackageAPTOperationTask : public KVPackageToolTask {
 public:
  // initWithPackages: the queue string to install, and the display names its output
  // shows for the identifiers of the packages it touches.
  explicit KVPackageAPTOperationTask(std::string packageIdentifiers, std::map<std::string, std::string> names = {});
  // A confirmed queue: its queue string and names, and the local archives installed with
  // it, which the run deletes once it has ended.
  explicit KVPackageAPTOperationTask(KVConfirmedQueue queue);

  std::string className() const override { return "KVPackageAPTOperationTask"; }
  void taskStart() override;
  std::string taskID() const override;
  std::string pipelineID() const override;
  // The identifiers of the task's queue string.
  std::vector<std::string> queuedIdentifiers() const override;
  // "installing A and B", "removing C", "installing A and removing C", by display name.
  std::string workDescription() const override;

  const std::string& packageIdentifiers() const { return packageIdentifiers_; }
  // Tells every package of the run that its operation is over.
  void updateGetButton() const;

  // What the verbose log shows of one piece of APT's output: nothing for noise and for a
  // second empty line, the package names for their identifiers, short headings, a line
  // feed before each step of a package. `lastWasLineFeed` is the task's state between
  // pieces.
  static std::optional<std::string> shownText(const std::string& piece, const std::map<std::string, std::string>& names,
                                              bool& lastWasLineFeed);
  // The words a successful run ends with: for installs, for removals, or for both.
  static std::string doneStatusForQueue(const std::string& queue);

 private:
  void handleOutput(const std::string& piece, const std::string& whole, bool finished, int32_t status);

  // The run decided once dpkg's status is read back: errors of packages broken before it
  // do not fail it (KVQueueRunOutcome).
  KVRunVerdict judge(int32_t exitStatus, const std::string& output) const;
  void removeArchives() const;

  const std::string packageIdentifiers_;
  const std::vector<KVLocalArchive> archives_;
  const std::vector<std::string> identifiers_;
  const std::map<std::string, std::string> names_;
  const bool allowHeldChanges_;
  // dpkg's records as the run found them (set before the command, read at its end).
  std::map<std::string, KVDpkgRecord> before_;
  bool lastWasLineFeed_ = false;  // touched only on the worker running the command
};
