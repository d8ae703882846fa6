#pragma once
// The property-list reader's fuzz target: any bytes read as a property list (XML or
// binary), and whatever reads written out and read back. Run briefly in the tests
// (PropertyListFuzzTest) and, built with clang, by libFuzzer (tests/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runPropertyListFuzzTarget(const uint8_t* data, size_t size);
