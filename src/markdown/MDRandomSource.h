#pragma once
// Uniform random numbers for the e-mail obfuscation: seeded from the system's entropy
// for real use (every call writes different bytes), or from a fixed seed so that a
// test can know the output.
#include <cstdint>

namespace markdown {

class MDRandomSource {
 public:
  explicit MDRandomSource(uint64_t seed) : state_(seed) {}
  static MDRandomSource fromEntropy();

  // A number from 0 to upperBound - 1, every one equally likely (upperBound > 0).
  uint32_t uniform(uint32_t upperBound);

 private:
  uint64_t next();
  uint64_t state_;
};

}  // namespace markdown
