#pragma once
// The decoders' fuzz target: any bytes through each decoder under a small ceiling, and
// the signature tests. Run briefly in the tests (DecodersFuzzTest) and, built with
// clang, by libFuzzer (tests/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runDecodersFuzzTarget(const uint8_t* data, size_t size);
