/* The chroot guard: a small library the launcher preloads into every program of the
 * sandbox (LD_PRELOAD), built apart from the launcher and never with a checker.
 *
 * dpkg runs a package's maintainer script in a child that chroots into the device root
 * and then executes the script, as root. The sandbox must let dpkg chroot, but a script
 * that kept that capability could chroot again and walk out of the root, into the
 * sandbox's view of the host. So the moment a chroot succeeds, this process gives the
 * capability up for good (the sandbox forbids gaining privileges on exec, so nothing
 * the script runs gets it back), closes every descriptor but standard input, output and
 * error, and stops preloading the guard into the script, in whose root it does not lie.
 * Only dpkg's script children chroot; a guard that cannot do all of this fails the
 * chroot, and so the script, rather than run it with a way out.
 *
 * The sandbox of an ordinary user sees the top of the device root read-only, each folder
 * there mounted writable. dpkg, removing the last package that names such a folder,
 * tries to remove it and would stop at the read-only error; on a writable top the kernel
 * would refuse it as a mount point, or as a folder not empty, which dpkg leaves in place.
 * So it is told that. */
#define _GNU_SOURCE
#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <linux/capability.h>
#include <stdlib.h>
#include <string.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

static int giveUpChroot(void) {
  struct __user_cap_header_struct header = {_LINUX_CAPABILITY_VERSION_3, 0};
  struct __user_cap_data_struct sets[_LINUX_CAPABILITY_U32S_3];
  if (syscall(SYS_capget, &header, sets) != 0) return -1;
  const unsigned word = CAP_SYS_CHROOT / 32, bit = 1u << (CAP_SYS_CHROOT % 32);
  sets[word].effective &= ~bit;
  sets[word].permitted &= ~bit;
  sets[word].inheritable &= ~bit;
  if (syscall(SYS_capset, &header, sets) != 0) return -1;
  return prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
}

static int closeFrom(int first) {
  if (syscall(SYS_close_range, first, ~0u, 0) == 0) return 0;
  long last = sysconf(_SC_OPEN_MAX);  /* kernels before 5.9 */
  for (long fd = first; fd < last; ++fd) close((int)fd);
  return 0;
}

int chroot(const char* path) {
  int (*next)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "chroot");
  if (!next) {
    errno = ENOSYS;
    return -1;
  }
  if (next(path) != 0) return -1;
  if (giveUpChroot() != 0 || unsetenv("LD_PRELOAD") != 0 || closeFrom(3) != 0) {
    errno = EPERM;
    return -1;
  }
  return 0;
}

/* Whether `path` is a folder with anything in it. */
static int holdsEntries(const char* path) {
  DIR* folder = opendir(path);
  if (!folder) return 0;
  int found = 0;
  for (struct dirent* entry; !found && (entry = readdir(folder));)
    found = strcmp(entry->d_name, ".") != 0 && strcmp(entry->d_name, "..") != 0;
  closedir(folder);
  return found;
}

int rmdir(const char* path) {
  int (*next)(const char*) = (int (*)(const char*))dlsym(RTLD_NEXT, "rmdir");
  if (!next) {
    errno = ENOSYS;
    return -1;
  }
  if (next(path) == 0) return 0;
  if (errno != EROFS) return -1;
  struct statx st;
  const int mountPoint = statx(AT_FDCWD, path, AT_SYMLINK_NOFOLLOW, STATX_TYPE, &st) == 0 &&
                         (st.stx_attributes & STATX_ATTR_MOUNT_ROOT);
  errno = !mountPoint ? EROFS : holdsEntries(path) ? ENOTEMPTY : EBUSY;
  return -1;
}
