#include "RootOwnership.h"

#include <dirent.h>
#include <fcntl.h>

namespace launcher {
namespace {
// Deeper than any tree the application makes; what lies below was made inside the sandbox,
// with ids it can name.
constexpr int kDeepestFolder = 128;

// The mapped id that stands for an unmapped one: the host root's files (the application's)
// become the sandbox's root's, and a root whose sandbox once ran with the host's own ids
// keeps the owners dpkg gave there (mobile's 501 stays 501 inside).
uint32_t mappedFor(uint32_t id) { return id < kMappedIdCount ? kMappedRootId + id : kMappedRootId; }

// An entry's owners and the mount it lies on. A folder mounted inside the root (a user's
// folder shared with the device) is another mount even on the same file system, where
// the device number can't tell it apart; the mount's id can.
bool statEntry(int folder, const char* name, int flags, struct statx& st) {
  return ::statx(folder, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_UID | STATX_GID |
                 STATX_NLINK | STATX_MNT_ID, &st) == 0 && (st.stx_mask & STATX_MNT_ID);
}

void giveAway(int folder, uint64_t mount, int depth) {
  DIR* entries = ::fdopendir(folder);
  if (!entries) {
    ::close(folder);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    struct statx st;
    if (!statEntry(folder, name, 0, st) || st.stx_mnt_id != mount) continue;
    const bool isFolder = S_ISDIR(st.stx_mode);
    const bool mapped = isMappedHostId(st.stx_uid) && isMappedHostId(st.stx_gid);
    if (!mapped && (isFolder || st.stx_nlink == 1)) {
      ::fchownat(folder, name, isMappedHostId(st.stx_uid) ? static_cast<uid_t>(-1) : mappedFor(st.stx_uid),
                 isMappedHostId(st.stx_gid) ? static_cast<gid_t>(-1) : mappedFor(st.stx_gid), AT_SYMLINK_NOFOLLOW);
    }
    if (!isFolder || depth >= kDeepestFolder) continue;
    int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    // Checked again once open: a mount made in between is not entered either.
    if (inner >= 0 && (!statEntry(inner, "", AT_EMPTY_PATH, st) || st.stx_mnt_id != mount)) {
      ::close(inner);
      continue;
    }
    if (inner >= 0) giveAway(inner, mount, depth + 1);
  }
  ::closedir(entries);
}
}  // namespace

void giveUnmappedToMappedRoot(int rootFd) {
  struct statx st;
  // A kernel that can't name mounts gets nothing given away: better a run that can't
  // write what the application made than a host folder re-owned.
  if (!statEntry(rootFd, "", AT_EMPTY_PATH, st)) return;
  int folder = ::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) giveAway(folder, st.stx_mnt_id, 0);
}
}  // namespace launcher
