#pragma once
// The fuzz target of the Markdown library: converts the bytes (the first one picks the
// extensions) and checks what must hold for every input. A failed check aborts, as a
// fuzzer expects. Built into the tests, which run it on a small corpus, and into
// fuzz_markdown for long runs with libFuzzer.
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// The extensions an input's first byte picks: its bits stand for the six of them.
unsigned markdownFuzzExtensions(uint8_t first);
