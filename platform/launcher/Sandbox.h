#pragma once
// The sandbox every command of a launcher serving a device root runs in. The device root
// holds what packages put there (their APT hooks, dpkg's configuration, their links),
// and the package tools run as root: the only boundary is one the kernel keeps. So the
// command runs under bubblewrap, in namespaces of its own:
//
// - a user namespace with the ids mapped one to one (so dpkg can give files the owners
//   an archive names) in which no further user namespace can be made;
// - capabilities cut to what dpkg needs inside the root: owners, modes and the chroot
//   of maintainer scripts; nothing that mounts, so nothing can be made writable again.
//   A maintainer script itself keeps no capability to chroot (the chroot guard gives it
//   up in the child dpkg chroots, ChrootGuard.c), so it cannot leave the root;
// - of the host only what the tools need, read-only: the programs and libraries, and the
//   few files of /etc they read. No secret of the host (/etc/shadow, /root, /home) and
//   none of its state is there to read, whatever a command's capabilities. The device
//   root is writable; /tmp and /run are private;
// - no network (only a loopback of its own), its own process ids (no host process can be
//   seen or signalled), its own IPC and host name, and a new session (no terminal to
//   type into); it ends with the launcher;
// - no descriptor of the launcher's but standard input, output and error.
#include <string>
#include <vector>

#include "LauncherEnvironment.h"

namespace launcher {
// The bubblewrap program: /usr/bin/bwrap, or $QUILLBARK_BWRAP for a launcher that runs
// with its caller's own privileges (never for a set-user-id one).
std::string bubblewrapPath();

// The arguments after the program's name, for a bubblewrap that holds the descriptors of
// the user namespace to enter (kUserNamespaceDescriptor), of its report of the sandbox
// (kInfoDescriptor) and of the chroot guard's bytes (kGuardDescriptor), and nothing else
// beyond standard input, output and error: `root` is the device root, `command` the text
// for /bin/sh -c.
inline constexpr int kUserNamespaceDescriptor = 3, kInfoDescriptor = 4, kGuardDescriptor = 5;
std::vector<std::string> sandboxArguments(const std::string& root, const std::string& command);

// Runs `command` with /bin/sh -c in the sandbox for `root` and answers its exit status
// (128 + the signal for one a signal ended). When the sandbox can't be made, prints one
// line starting with kNoSandboxMessage to standard error and answers kNoSandboxStatus;
// the command never runs unconfined.
int runSandboxed(const std::string& root, const std::string& command);
}  // namespace launcher
