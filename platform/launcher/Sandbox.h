#pragma once
// The sandbox every command of a launcher serving a device root runs in. The device root
// holds what packages put there (their APT hooks, dpkg's configuration, their links),
// and the package tools run as root: the only boundary is one the kernel keeps. So the
// command runs under bubblewrap, in namespaces of its own:
//
// - a user namespace whose user 0 is an unprivileged host id (RootOwnership.h: a range
//   kept for the sandbox when the launcher runs as root, so dpkg can still give files
//   the owners an archive names; else the user who runs it), in which no further user
//   namespace can be made. Its capabilities reach nothing of the host's kernel, and no
//   file it makes is the host root's, set-user-id or not;
// - capabilities cut to what dpkg needs inside the root: owners, modes and the chroot
//   of maintainer scripts; nothing that mounts, so nothing can be made writable again.
//   A maintainer script itself keeps no capability to chroot (the chroot guard gives it
//   up in the child dpkg chroots, ChrootGuard.c), so it cannot leave the root, nor act
//   through a process outside it: no process can be traced or its memory read
//   (TracingFilter.h), and the first one's /proc entry, bubblewrap's, is hidden;
// - the kernel's settings (/proc/sys) read-only;
// - of the host only what the tools need, read-only: the programs and libraries, and the
//   few files of /etc they read. No secret of the host (/etc/shadow, /root, /home) and
//   none of its state is there to read, whatever a command's capabilities. The device
//   root is writable, but never its own folder, which keeps the host's other users out
//   of all of it (RootOwnership.h): no command may change its owner or mode, even for
//   the length of a run. (The sandbox of an ordinary user, who owns that folder, sees
//   the root's top read-only and the folders there writable, so packages add nothing
//   at the top.) /tmp and /run are private;
// - no network (only a loopback of its own), its own process ids (no host process can be
//   seen or signalled), its own IPC and host name, and a new session (no terminal to
//   type into);
// - no descriptor of the launcher's but standard input, output and error, the read end
//   of a pipe only the launcher can write (the sandbox's life line) and the root's lock.
//
// The sandbox ends with the launcher, at whatever moment the launcher is killed: a
// watcher in the sandbox reads the life line and, at its end, kills every process of the
// sandbox. (bubblewrap's die-with-parent can't do it: armed only partway through the
// set-up, it leaves a sandbox killed earlier running on, or its first process waiting
// forever for a bubblewrap that is gone.) The launcher answers only once the last
// process of its sandbox has ended (what the command left running is ended with it), and
// a launcher ended by a signal it can catch ends its sandbox first.
//
// One command at a time in a root: the launcher takes the root's locks (RootLock.h) before
// its sandbox is made, or refuses once it has waited long enough (kRootBusyStatus), and
// hands the lock file's in, so a launcher killed outright holds up the next one until the
// last process of its sandbox, with dpkg's locks, is gone. Holding them, the launcher
// gives the root's entries owners the sandbox can name and keeps the root's folder from
// the host's other users (RootOwnership.h).
#include <string>
#include <vector>

#include "LauncherEnvironment.h"

namespace launcher {
// The bubblewrap program: /usr/bin/bwrap, or $QUILLBARK_BWRAP for a launcher that runs
// with its caller's own privileges (never for a set-user-id one).
std::string bubblewrapPath();

// The arguments after the program's name, for a bubblewrap that holds the descriptors of
// the user namespace to enter (kUserNamespaceDescriptor), of its report of the sandbox
// (kInfoDescriptor), of the chroot guard's bytes (kGuardDescriptor), of the life line
// (kLifeDescriptor), of the root's lock (kLockDescriptor) and of the system-call filter
// (kFilterDescriptor), and nothing else beyond standard input, output and error: `root`
// is the device root (a bubblewrap started by a launcher run as root finds it bound at
// /run, in a mount namespace of its own), `topFolders` the names of the folders at its
// top, `command` the text for /bin/sh -c. The command keeps only the lock of these.
inline constexpr int kUserNamespaceDescriptor = 3, kInfoDescriptor = 4, kGuardDescriptor = 5;
inline constexpr int kLifeDescriptor = 6, kLockDescriptor = 7, kFilterDescriptor = 8;
std::vector<std::string> sandboxArguments(const std::string& root, const std::vector<std::string>& topFolders,
                                          const std::string& command);

// Runs `command` with /bin/sh -c in the sandbox for `root` and answers its exit status
// (128 + the signal for one a signal ended) once every process of the sandbox has
// ended; kRootBusyStatus, with a line saying why, when it never ran for the root's lock.
// When the sandbox can't be made, prints one
// line starting with kNoSandboxMessage to standard error and answers kNoSandboxStatus;
// the command never runs unconfined.
int runSandboxed(const std::string& root, const std::string& command);
}  // namespace launcher
