#pragma once
// The block helpers every subsystem uses.
#include <functional>

// Runs the block at once when already on the main thread, else queues it there.
void performOnMainThread(std::function<void()> block);
// Queues the block on the global queue of background priority.
void performOnBackgroundThread(std::function<void()> block);
// Queues the block on the global queue of default priority.
void performOnDefaultThread(std::function<void()> block);
// Queues the block on the main queue after `delay` seconds, cut to whole seconds.
void performAfterWithBlock(double delay, std::function<void()> block);
