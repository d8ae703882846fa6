#pragma once
// How far this process's resident memory rose above where it stood while `run` ran: the
// kernel's high-water mark, reset just before. Under the thread checker the measure
// means nothing (its shadow memory grows with every address touched), and tests that
// bound it skip there.
#include <fstream>
#include <functional>
#include <string>

namespace testsupport {

inline size_t statusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind(field, 0) == 0) return std::stoul(line.substr(line.find_first_of("0123456789")));
  return 0;
}

inline size_t peakMemoryGrowth(const std::function<void()>& run) {
  std::ofstream("/proc/self/clear_refs") << "5";  // the high-water mark starts again from now
  size_t before = statusKilobytes("VmRSS:");
  run();
  size_t peak = statusKilobytes("VmHWM:");
  return peak > before ? (peak - before) * 1024 : 0;
}

inline constexpr bool kPeakMemoryIsMeasurable =
#if defined(__SANITIZE_THREAD__)
    false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    false;
#else
    true;
#endif
#else
    true;
#endif

}  // namespace testsupport
