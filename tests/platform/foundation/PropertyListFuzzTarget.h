#pragma once
// The property-list reader's fuzz target: any bytes read as a property list (XML or
// binary), and whatever reads written out in both forms and read back as the same value. Run briefly in the tests
// (PropertyListFuzzTest) and, built with clang, by libFuzzer (tests/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runPropertyListFuzzTarget(const uint8_t* data, size_t size);
