#pragma once
// Operations and an operation queue in place of the platform's: a queue runs up to a
// maximum of operations at once (changeable at run time), lists the operations it
// holds, cancels them, and tells an observer whenever that list changes.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/NotificationToken.h"

class OperationQueue;

class Operation : public std::enable_shared_from_this<Operation> {
 public:
  virtual ~Operation();

  // A synchronous operation's work; it finishes when main() returns.
  virtual void main() {}
  // Starts the operation. The default runs main() unless cancelled and then finishes,
  // except for an asynchronous operation, which calls finish() itself later.
  virtual void start();
  virtual bool isAsynchronous() const { return false; }

  void cancel();
  bool isCancelled() const;
  bool isExecuting() const;
  bool isFinished() const;
  void setCompletionBlock(std::function<void()> block);
  // Blocks the calling thread until the operation has finished.
  void waitUntilFinished() const;

  const std::string& name() const;
  void setName(std::string name);

 protected:
  Operation();
  // Called once when cancel() is first called, on the cancelling thread.
  virtual void didCancel() {}
  void setExecuting();
  // Marks the operation finished, runs its completion block and frees its queue slot.
  // Safe to call more than once; only the first call counts.
  void finish();

 private:
  friend class OperationQueue;
  struct State;
  std::shared_ptr<State> state_;
};

class BlockOperation final : public Operation {
 public:
  explicit BlockOperation(std::function<void()> block) : block_(std::move(block)) {}
  void main() override {
    if (block_) block_();
  }

 private:
  std::function<void()> block_;
};

class OperationQueue {
 public:
  OperationQueue();
  ~OperationQueue();

  void addOperation(std::shared_ptr<Operation> operation);
  void addOperationWithBlock(std::function<void()> block);
  std::vector<std::shared_ptr<Operation>> operations() const;  // queued and running, in order
  size_t operationCount() const;
  void setMaxConcurrentOperationCount(int count);  // <= 0 means no limit
  int maxConcurrentOperationCount() const;
  void cancelAllOperations();
  // Blocks until the queue holds no operation (real time); answers false on time-out.
  bool waitUntilAllOperationsAreFinished(double timeoutSeconds = 3600) const;
  // Called (on whatever thread changed it) after every change of operations(), as
  // long as the token lives.
  [[nodiscard]] NotificationToken addOperationsObserver(std::function<void()> observer);
  void setName(std::string name);
  // A queue whose workers may wait for the main thread (a worker that posts on the main
  // thread and waits for the observers there): the main thread must never wait for one
  // of its operations, or both would wait for ever. Debug builds stop the process when
  // the main thread starts such a wait (waitUntilFinished, waitUntilAllOperationsAreFinished).
  void setMainThreadMustNotWait(bool mustNot);

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};
