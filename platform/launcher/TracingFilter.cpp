#include "TracingFilter.h"

#include <seccomp.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace launcher {
namespace {
const char* const kRefusedCalls[] = {"ptrace", "process_vm_readv", "process_vm_writev", "pidfd_getfd",
                                     "perf_event_open"};

// The other system-call tables the machine's kernel runs programs with, so that a 32-bit
// program meets the same filter (rather than being killed for its table).
bool addCompatibleTables(scmp_filter_ctx filter) {
  uint32_t native = seccomp_arch_native();
  if (native == SCMP_ARCH_X86_64)
    return seccomp_arch_add(filter, SCMP_ARCH_X86) == 0 && seccomp_arch_add(filter, SCMP_ARCH_X32) == 0;
  if (native == SCMP_ARCH_AARCH64) return seccomp_arch_add(filter, SCMP_ARCH_ARM) == 0;
  return true;
}
}  // namespace

int tracingFilter(std::string& error) {
  scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ALLOW);
  if (!filter) return error = "cannot make the system-call filter", -1;
  bool made = addCompatibleTables(filter);
  for (const char* name : kRefusedCalls) {
    int call = seccomp_syscall_resolve_name(name);
    // A call the machine's tables don't have can't be made either.
    if (made && call != __NR_SCMP_ERROR) made = seccomp_rule_add(filter, SCMP_ACT_ERRNO(EPERM), call, 0) == 0;
  }
  int fd = made ? ::memfd_create("sandbox-filter", MFD_CLOEXEC) : -1;
  if (fd >= 0 && (seccomp_export_bpf(filter, fd) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)) {
    ::close(fd);
    fd = -1;
  }
  seccomp_release(filter);
  if (fd < 0) error = "cannot make the system-call filter";
  return fd;
}
}  // namespace launcher
