#include "foundation/Clock.h"

#include <atomic>
#include <chrono>

#include "foundation/Date.h"

namespace {
std::atomic<bool> gManual{false};
std::atomic<double> gManualNow{0};

double realNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}
}  // namespace

double Clock::now() { return gManual.load() ? gManualNow.load() : realNow(); }
bool Clock::isManual() { return gManual.load(); }

void Clock::setManual(bool manual, double start) {
  if (manual) gManualNow.store(start > 0 ? start : realNow());
  gManual.store(manual);
}

void Clock::advanceBy(double seconds) {
  double cur = gManualNow.load();
  while (!gManualNow.compare_exchange_weak(cur, cur + seconds)) {
  }
}

Date Date::now() { return Date::fromUnix(Clock::now()); }
