#pragma once
// The APT run of a whole queue ("atp.install.ops"): one `apt-get install` of the queue
// string through the launcher (installs, upgrades, downgrades, reinstalls and removals
// in one run), its output filtered, named and classified for the verbose log, then the
// queue state of every package cleared, the archives removed and the dpkg status read
// back; it ends with success for exit status 0, otherwise with an error of code 34
// whose text holds APT's "E: " and "W: " lines. Every package of the queue hears
// "UpdateQueueStateNotification-" with {"Message": "Finished Operation"} at the end.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "operations/KVPackageToolTask.h"

class KVPackageAPTOperationTask : public KVPackageToolTask {
 public:
  // initWithPackages: the queue string to install, and the display names its output
  // shows for the identifiers of the packages it touches.
  explicit KVPackageAPTOperationTask(std::string packageIdentifiers, std::map<std::string, std::string> names = {});

  std::string className() const override { return "KVPackageAPTOperationTask"; }
  void taskStart() override;
  std::string taskID() const override { return "Install-" + packageIdentifiers_; }
  std::string pipelineID() const override;
  // The identifiers of the task's queue string.
  std::vector<std::string> queuedIdentifiers() const override;

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

  const std::string packageIdentifiers_;
  const std::vector<std::string> identifiers_;
  const std::map<std::string, std::string> names_;
  bool lastWasLineFeed_ = false;  // touched only on the worker running the command
};
