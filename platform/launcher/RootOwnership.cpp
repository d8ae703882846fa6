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

void giveAway(int folder, dev_t device, int depth) {
  DIR* entries = ::fdopendir(folder);
  if (!entries) {
    ::close(folder);
    return;
  }
  while (const dirent* entry = ::readdir(entries)) {
    const char* name = entry->d_name;
    if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
    struct stat st;
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || st.st_dev != device) continue;
    const bool isFolder = S_ISDIR(st.st_mode);
    const bool mapped = isMappedHostId(st.st_uid) && isMappedHostId(st.st_gid);
    if (!mapped && (isFolder || st.st_nlink == 1)) {
      ::fchownat(folder, name, isMappedHostId(st.st_uid) ? static_cast<uid_t>(-1) : mappedFor(st.st_uid),
                 isMappedHostId(st.st_gid) ? static_cast<gid_t>(-1) : mappedFor(st.st_gid), AT_SYMLINK_NOFOLLOW);
    }
    if (!isFolder || depth >= kDeepestFolder) continue;
    int inner = ::openat(folder, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (inner >= 0) giveAway(inner, device, depth + 1);
  }
  ::closedir(entries);
}
}  // namespace

void giveUnmappedToMappedRoot(int rootFd) {
  struct stat st;
  if (::fstat(rootFd, &st) != 0) return;
  int folder = ::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder >= 0) giveAway(folder, st.st_dev, 0);
}
}  // namespace launcher
