/* What a program a package ships can reach from inside the package tools' sandbox,
 * tried as a hostile one would: a maintainer script or hook runs it and keeps its
 * report, each step from wherever the chroot led. Static, so it runs chrooted in a
 * device root, whose only shell is busybox.
 *
 *   descriptors: 0 1 2          the descriptors it was started with
 *   chroot: refused             whether it may chroot (out of the root dpkg put it in:
 *                               a second chroot with the working folder outside, then up)
 *   /etc/shadow: unreadable     the host's secrets
 *   /root: unreadable
 *   user map: 0 1879048192 65536   the first line of its user map (unreadable in a chroot)
 *   effective user: 0           the user it runs as (a set-user-id copy run by another) */
#define _GNU_SOURCE
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

static void printUserMap(void) {
  unsigned inside, outside, count;
  FILE* map = fopen("/proc/self/uid_map", "r");
  if (map && fscanf(map, "%u %u %u", &inside, &outside, &count) == 3)
    printf("user map: %u %u %u\n", inside, outside, count);
  else
    printf("user map: unreadable\n");
  if (map) fclose(map);
}

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
  printUserMap();
  printf("effective user: %u\n", (unsigned)geteuid());
  return 0;
}
