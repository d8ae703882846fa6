/* What a program a package ships can reach from inside the package tools' sandbox,
 * tried as a hostile one would: a maintainer script or hook runs it and keeps its
 * report. Static, so it runs chrooted in a device root, whose only shell is busybox.
 *
 *   descriptors: 0 1 2          the descriptors it was started with
 *   chroot: refused             whether it may chroot (out of the root dpkg put it in:
 *                               a second chroot with the working folder outside, then up)
 *   /etc/shadow: unreadable     the host's secrets, from wherever that led
 *   /root: unreadable */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

int main(void) {
  printf("descriptors:");
  for (int fd = 0; fd < 4096; ++fd)
    if (fcntl(fd, F_GETFD) != -1) printf(" %d", fd);
  printf("\n");
  mkdir("/.probe", 0755);
  int escaped = chroot("/.probe") == 0;
  if (escaped) {
    for (int i = 0; i < 64; ++i)
      if (chdir("..") != 0) break;
    escaped = chroot(".") == 0;
  }
  printf("chroot: %s\n", escaped ? "allowed" : "refused");
  int secret = open("/etc/shadow", O_RDONLY);
  printf("/etc/shadow: %s\n", secret >= 0 ? "READ" : "unreadable");
  DIR* home = opendir("/root");
  printf("/root: %s\n", home ? "READ" : "unreadable");
  return 0;
}
