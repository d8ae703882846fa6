#include "DecodersFuzzTarget.h"

#include <cstdlib>
#include <string>

#include "core/NSDataCompression.h"

using namespace NSDataCompression;

namespace {
void check(bool condition) {
  if (!condition) std::abort();
}

constexpr size_t kCeiling = size_t(4) << 20;
}  // namespace

int runDecodersFuzzTarget(const uint8_t* data, size_t size) {
  const Data input(data, data + size);
  for (auto decode : {BZunzippedData, GZunzippedData, XZunzippedData, LZMAunzippedData}) {
    std::string error;
    Data out = decode(input, &error, kCeiling);
    // Either decoded within the ceiling, or refused with a reason and the input back.
    check(error.empty() ? out.size() <= kCeiling : out == input);
  }
  isBZippedData(input), isGZippedData(input), isXZippedData(input), isLZMAZippedData(input);
  return 0;
}

#ifdef QB_LIBFUZZER
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return runDecodersFuzzTarget(data, size); }
#endif
