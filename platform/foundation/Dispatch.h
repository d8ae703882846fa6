#pragma once
// Queues in place of the platform's dispatch queues: the main queue (the main run
// loop), two global concurrent queues and serial queues.
#include <functional>
#include <memory>
#include <string>

class DispatchQueue {
 public:
  virtual ~DispatchQueue() = default;
  virtual void async(std::function<void()> block) = 0;
  // Runs the block and waits for it. On a serial queue from its own thread this would
  // deadlock, so it runs inline there.
  virtual void sync(std::function<void()> block);
  // Runs the block after `seconds` (the main queue reads the loop's clock).
  virtual void asyncAfter(double seconds, std::function<void()> block);
  virtual bool isCurrent() const = 0;
  virtual const std::string& label() const = 0;

  static DispatchQueue& mainQueue();
  static DispatchQueue& globalBackground();
  static DispatchQueue& globalDefault();
  static std::shared_ptr<DispatchQueue> makeSerial(const std::string& label);
  // Waits (real time) until every block queued so far on both global queues has run.
  // For tests that check what background work left behind.
  static bool drainGlobalQueues(double timeoutSeconds = 30);
  // Whether no block is queued or running on either global queue, without waiting.
  static bool globalQueuesIdle();
};
