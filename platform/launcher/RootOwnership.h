#pragma once
// Who owns a device root on the host. Root inside the sandbox is never root outside: its
// user namespace maps user 0 to an unprivileged host id. A launcher run by an ordinary
// user can map only that user, who becomes root inside. A launcher run as root maps the
// sandbox's ids 0 to 65535 (root, mobile 501, nobody 65534, what archives name) to a range
// of host ids kept for it: from 0x70000000 on, which systemd leaves unused (above the
// ranges it hands to containers, below its foreign range and 2^31) and which lies far
// above the sub-id ranges useradd hands out (100000 onwards), so no account and no other
// container shares it. So nothing a package does inside (its chown to root, a set-user-id
// program) is ever done as, or made for, a privileged host id.
//
// What the sandbox must write has to belong to an id it can name: inside, an unmapped
// owner shows as nobody and root has no power over it. So a launcher run as root gives
// what the application (host root) made in the root to the mapped root before each run,
// and the root's own folder stays the host root's, its group the mapped root's, mode
// 0770: the sandbox can write in it but never change it, and no other host user can
// reach anything below it (a set-user-id program a package installed among them). For an
// ordinary user the folder is that user's, mode 0700, put back before each run; that
// user's sandbox sees it read-only (Sandbox.h). Either way nothing inside can change the
// folder's mode or owner.
//
// Header for the parts the device root's builder shares (it secures the folder as it
// makes it); the launcher alone gives the root's entries away (RootOwnership.cpp).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>

namespace launcher {
inline constexpr uint32_t kMappedRootId = 0x70000000;  // 1879048192
inline constexpr uint32_t kMappedIdCount = 65536;

// Whether a host id is one the sandbox of a launcher run as root can name.
inline bool isMappedHostId(uint32_t id) { return id >= kMappedRootId && id - kMappedRootId < kMappedIdCount; }

// Gives the device root's own folder (`fd`) the owner and mode above for the caller's
// user. False, with errno, when it can't (a folder an ordinary user does not own).
inline bool secureRootFolder(int fd) {
  if (::geteuid() != 0) return ::fchmod(fd, 0700) == 0;
  return ::fchown(fd, 0, kMappedRootId) == 0 && ::fchmod(fd, 0770) == 0;
}

// A launcher run as root: gives every entry below the device root (`rootFd`) whose owner
// or group the sandbox can't name to the mapped id of the same number (the host root's
// to the mapped root), or to the mapped root, without following a link or entering
// another mount: a host folder mounted inside the root keeps its owners, even one of the
// root's own file system. A file with more than one name is left as it is: its other name
// may lie outside the root. (A changed owner takes a program's set-id bits.)
void giveUnmappedToMappedRoot(int rootFd);
}  // namespace launcher
