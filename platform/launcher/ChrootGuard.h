#pragma once
// The chroot guard library (ChrootGuard.c) as the launcher carries it: its bytes, built
// into the launcher, which hands them to the sandbox as a read-only file.
#include <cstddef>

namespace launcher {
extern const unsigned char kChrootGuardImage[];
extern const size_t kChrootGuardImageSize;
// Where the guard lies inside the sandbox (in its own /run), preloaded into every program.
inline constexpr const char* kChrootGuardPath = "/run/quillbark/chroot-guard.so";
}  // namespace launcher
