#pragma once
// The one clock that the main loop's timers, delayed blocks and Date::now() read.
// Production runs it in real time; a test switches it to manual and moves it by hand
// through RunLoop::advance, so a 1 s save or a 3 s delay is tested without sleeping.
class Clock {
 public:
  static double now();  // seconds since 1970-01-01 UTC
  static bool isManual();
  // Manual mode starts at the current real time (or at `start` when given) and stands
  // still until advanced.
  static void setManual(bool manual, double start = 0);
  static void advanceBy(double seconds);  // manual mode only; use RunLoop::advance in tests
};
