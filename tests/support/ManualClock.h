#pragma once
// Puts the main loop's clock in manual mode for one test and drops whatever the test
// left on the loop when it ends.
#include "foundation/Clock.h"
#include "foundation/RunLoop.h"

class ManualClock {
 public:
  ManualClock() {
    RunLoop::main().reset();
    Clock::setManual(true);
  }
  ~ManualClock() {
    RunLoop::main().reset();
    Clock::setManual(false);
  }
  void advance(double seconds) { RunLoop::main().advance(seconds); }
};
