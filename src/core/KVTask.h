#pragma once
// The interface of every long piece of work: a concurrent operation that reports its
// status, progress and end to the pipeline itself.
#include <memory>
#include <string>
#include <vector>

#include "foundation/OperationQueue.h"

class UIImage;

class KVTask : public Operation {
 public:
  // The task's class name, for the pipeline's type tests ("KVPackageAPTOperationTask").
  virtual std::string className() const = 0;
  virtual void taskStart() = 0;
  virtual std::string taskID() const = 0;
  virtual std::string pipelineID() const = 0;
  virtual std::string taskDescription() const = 0;
  virtual double taskProgress() const = 0;  // 0 to 1, -1 while waiting

  virtual void taskPrepare() {}
  virtual void taskCancel() { cancel(); }
  virtual bool taskCanCancel() const { return false; }
  virtual std::string taskLocalizedObjectName() const { return {}; }
  virtual std::string taskLocalizedTitle() const { return {}; }
  // Source refreshes answer the source's icon.
  virtual std::shared_ptr<UIImage> icon() const { return nullptr; }
  // The packages an APT run works on (its queue as it started), for the actions the
  // pipeline carries out after it; none for other tasks.
  virtual std::vector<std::string> queuedIdentifiers() const { return {}; }

  bool isAsynchronous() const override { return true; }
  // The operation's start runs the task; the task finishes its operation itself with
  // finishOperation(), after it has reported its end to the pipeline.
  void start() override {
    if (isCancelled()) {
      finish();
      return;
    }
    setExecuting();
    taskStart();
  }

 protected:
  void finishOperation() { finish(); }
};
