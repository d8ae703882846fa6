#include "markdown/MDRandomSource.h"

#include <random>

namespace markdown {

MDRandomSource MDRandomSource::fromEntropy() {
  std::random_device device;
  return MDRandomSource(static_cast<uint64_t>(device()) << 32 ^ device());
}

// SplitMix64: small, fast and good enough to pick one of three spellings.
uint64_t MDRandomSource::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

uint32_t MDRandomSource::uniform(uint32_t upperBound) {
  // Draws below the threshold would make the low numbers likelier: draw again.
  const uint32_t threshold = static_cast<uint32_t>(-upperBound) % upperBound;
  while (true) {
    uint32_t r = static_cast<uint32_t>(next() >> 32);
    if (r >= threshold) return r % upperBound;
  }
}

}  // namespace markdown
