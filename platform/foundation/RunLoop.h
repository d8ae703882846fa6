#pragma once
// The main run loop: blocks posted from any thread and timers, run in order on the
// main thread. The main thread is the process's first thread (the one running main()
// or the test runner).
#include <cstdint>
#include <functional>
#include <memory>

class RunLoop {
 public:
  using TimerId = uint64_t;

  static RunLoop& main();
  static bool isMainThread();

  // Queues a block to run on the next turn of the loop.
  void post(std::function<void()> block);
  // Runs a block `delay` seconds from now on the loop's clock; repeats every `interval`
  // seconds when `interval` > 0. Answers an id that cancelTimer takes.
  TimerId addTimer(double delay, std::function<void()> block, double interval = 0);
  void cancelTimer(TimerId id);
  bool hasTimer(TimerId id) const;

  // Runs until stop(); waits for posts and timers in between. Main thread only.
  void run();
  void stop();
  // One turn: the blocks queued so far and the timers now due. Answers whether
  // anything ran.
  bool runOnce();
  // Turns until a turn runs nothing. Does not move a manual clock.
  void runUntilIdle();
  // Manual clock: moves it forward by `seconds`, firing each timer at its own time,
  // in order, with the clock set to that time.
  void advance(double seconds);
  // Turns, waiting in real time for blocks posted by other threads, until `done`
  // answers true or `timeoutSeconds` of real time have passed. Answers `done()`.
  bool runUntil(const std::function<bool()>& done, double timeoutSeconds = 10);
  // Seconds until the next timer, or a negative number when there is none.
  double secondsToNextTimer() const;
  // Drops every queued block and timer (tests start clean).
  void reset();

  RunLoop(const RunLoop&) = delete;
  RunLoop& operator=(const RunLoop&) = delete;

 private:
  RunLoop();
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
