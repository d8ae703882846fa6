#pragma once
// The fuzz target of the HTML library: any bytes through the tokenizer, the whole
// parser (document and fragment) and the selector compiler, checking only what must
// hold for every input. The normal test run feeds it
// a small corpus and a few thousand mutations of it; a libFuzzer build can run it for
// as long as one likes (see src/html/CMakeLists.txt).
#include <cstddef>
#include <cstdint>

int runHTMLFuzzTarget(const uint8_t* data, size_t size);
