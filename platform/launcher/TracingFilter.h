#pragma once
// The system-call filter every command of the sandbox runs under: it refuses the calls
// that read or change another process (ptrace, process_vm_readv and _writev, pidfd_getfd,
// perf_event_open), which no package tool needs. A maintainer script could otherwise
// trace a process of the sandbox that stands outside dpkg's chroot and holds no more
// capabilities than it (the sandbox's first process, bubblewrap's own, whose /proc entry
// the sandbox also hides), and act through it outside the chroot.
#include <string>

namespace launcher {
// A descriptor of the filter as bubblewrap's --seccomp reads it (classic BPF, read from
// its start); -1 with `error` set.
int tracingFilter(std::string& error);
}  // namespace launcher
