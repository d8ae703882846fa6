#pragma once
// Hands the memory the allocator keeps after large, passing work (a refresh, reading a
// table whole) back to the system. The allocator keeps freed memory in per-thread pools
// for reuse, so without this a program that once read a large index stays as large
// while idle.
namespace UnusedMemory {
void giveBack();
// For a long-running program with many threads that mostly wait: a few allocation pools
// (each thread's own pool keeps what it once needed), and large blocks always mapped
// apart, so they go back whole when freed instead of raising the bar for the next.
// Called once, first thing in main().
void configureForLongRunningProcess();
}
