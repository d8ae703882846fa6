#include "foundation/BlockHelpers.h"

#include <cmath>

#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"

void performOnMainThread(std::function<void()> block) {
  if (RunLoop::isMainThread()) block();
  else RunLoop::main().post(std::move(block));
}

void performOnBackgroundThread(std::function<void()> block) {
  DispatchQueue::globalBackground().async(std::move(block));
}

void performOnDefaultThread(std::function<void()> block) {
  DispatchQueue::globalDefault().async(std::move(block));
}

void performAfterWithBlock(double delay, std::function<void()> block) {
  // The delay is taken as whole seconds, as the callers always meant it.
  double whole = std::trunc(delay);
  RunLoop::main().addTimer(whole < 0 ? 0 : whole, std::move(block));
}
