#pragma once
// The sandbox every command of a launcher serving a device root runs in. The device root
// holds what packages put there (their APT hooks, dpkg's configuration, their links),
// and the package tools run as root: the only boundary is one the kernel keeps. So the
// command runs under bubblewrap, in namespaces of its own:
//
// - a user namespace with the ids mapped one to one (so dpkg can give files the owners
//   an archive names) in which no further user namespace can be made;
// - capabilities cut to what dpkg needs inside the root: owners, modes and the chroot
//   of maintainer scripts; nothing that mounts, so the host can't be made writable again;
// - the host's file system read-only, the device root writable, a private /tmp, an empty
//   /run (no host daemon's socket), its own /dev and /proc;
// - no network (only a loopback of its own), its own process ids (no host process can be
//   seen or signalled), its own IPC and host name, and a new session (no terminal to
//   type into); it ends with the launcher.
#include <string>
#include <vector>

#include "LauncherEnvironment.h"

namespace launcher {
// The bubblewrap program: /usr/bin/bwrap, or $QUILLBARK_BWRAP for a launcher that runs
// with its caller's own privileges (never for a set-user-id one).
std::string bubblewrapPath();

// The arguments after the program's name: `userNamespace` is the descriptor of the user
// namespace to enter, `root` the device root, `command` the text for /bin/sh -c.
std::vector<std::string> sandboxArguments(int userNamespace, const std::string& root, const std::string& command);

// Runs `command` with /bin/sh -c in the sandbox for `root` and answers its exit status
// (128 + the signal for one a signal ended). When the sandbox can't be made, prints one
// line starting with kNoSandboxMessage to standard error and answers kNoSandboxStatus;
// the command never runs unconfined.
int runSandboxed(const std::string& root, const std::string& command);
}  // namespace launcher
