#pragma once
// The predicate parser's fuzz target: any text parsed with a few arguments, and what
// parses compiled to SQL for a small schema. Run briefly in the tests
// (PredicateFuzzTest) and, built with clang, by libFuzzer (tests/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runPredicateFuzzTarget(const uint8_t* data, size_t size);
