#pragma once
// Checks of how the code is used, compiled into every build but a release one (the build
// defines QB_DEBUG_CHECKS). A failed check is a programming error: the process stops at
// once with the message, before the fault can turn into a hang or a corruption later.
namespace DebugChecks {
#if defined(QB_DEBUG_CHECKS)
inline constexpr bool kEnabled = true;
#else
inline constexpr bool kEnabled = false;
#endif

// Writes "Debug check failed: <what>" to standard error and the log, then aborts.
[[noreturn]] void fail(const char* what);
}  // namespace DebugChecks
