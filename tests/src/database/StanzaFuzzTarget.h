#pragma once
// The control-file reader's fuzz target: any bytes read as a control file, handed over
// in blocks of a size the input itself chooses, so lines and stanzas break anywhere.
// Run briefly in the tests (StanzaFuzzTest) and, built with clang, by libFuzzer
// (tests/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runStanzaFuzzTarget(const uint8_t* data, size_t size);
