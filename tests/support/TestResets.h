#pragma once
// The one registry of process-wide state a test may leave behind: the main loop, the
// pipeline, the APT layer's queue, the known repositories' locations, the vendor
// service's address, time-out and results, the device owner's answer and the connections the
// composition root installed.
// TestMain runs it before every test, so each test starts from the state a fresh process
// has, with a fresh TestRoot's pieces connected. (The view layer's shared objects, the
// preferences and the palettes are reset by UIDriver around each screen test.)
namespace TestResets {
void resetAll();
}  // namespace TestResets
