#pragma once
// Bounds that only stop a test that has lost its way (a hang, a quadratic corner) must
// still hold when the code runs many times slower: under the run-time checkers, or on a
// loaded machine. QB_TEST_TIME_SCALE (a number) stretches every bound further.
#include <cstdlib>

namespace testsupport {

inline double timeBound(double seconds) {
  double scale = 1;
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  scale = 8;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
  scale = 8;
#endif
#endif
  if (const char* extra = std::getenv("QB_TEST_TIME_SCALE")) {
    double factor = std::atof(extra);
    if (factor > 0) scale *= factor;
  }
  return seconds * scale;
}

}  // namespace testsupport
