#include "Sandbox.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ChrootGuard.h"
#include "RootLock.h"
#include "RootOwnership.h"
#include "TracingFilter.h"

namespace launcher {
namespace {
// What dpkg needs as root inside the device root, and no more: giving files their owners
// and modes (also of files it doesn't own, keeping set-id bits), reaching any folder,
// and chrooting into the root for maintainer scripts.
const char* const kCapabilities[] = {"CAP_CHOWN", "CAP_DAC_OVERRIDE", "CAP_FOWNER", "CAP_FSETID", "CAP_SYS_CHROOT"};

// What the package tools need of the host, read-only: the programs and their libraries
// (each top folder as the host has it, a folder or a link into /usr), and the files of
// /etc they read: the loader's cache, users and groups (for the owners an archive names),
// the time zone of dpkg's log, dpkg's own settings, the alternatives some programs are
// reached through, and the release APT reads.
const char* const kHostFolders[] = {"/usr", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"};
const char* const kHostSettings[] = {"ld.so.cache", "nsswitch.conf", "passwd",       "group",
                                     "localtime",   "dpkg",          "alternatives", "debian_version"};

std::string describe(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool writeText(const std::string& path, const std::string& text, std::string& error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  bool ok = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (!ok) error = describe(("cannot write " + path).c_str());
  if (fd >= 0) ::close(fd);
  return ok;
}

// Run as root, a process of the sandbox's own is the mapped root before anything else:
// bubblewrap makes the sandbox with no power over the host, and the user namespace is
// that id's, so bubblewrap can enter it. Without supplementary groups (root's would still
// open what the host's group root may read).
bool becomeMappedRoot() {
  if (::geteuid() != 0) return true;
  const gid_t id = kMappedRootId;
  return ::setgroups(0, nullptr) == 0 && ::setresgid(id, id, id) == 0 && ::setresuid(id, id, id) == 0;
}

// Where a launcher run as root shows the device root to bubblewrap. bubblewrap runs as the
// mapped root, which may not pass the folders on the way to the root (a home folder of
// mode 0700 holds the default one), so the child that becomes it binds the root here
// first, in a mount namespace of its own that no mount leaves.
constexpr const char* kStagedRoot = "/run";

bool stageRoot(const char* root) {
  if (::geteuid() != 0) return true;
  return ::unshare(CLONE_NEWNS) == 0 && ::mount(nullptr, "/", nullptr, MS_REC | MS_SLAVE, nullptr) == 0 &&
         ::mount(root, kStagedRoot, nullptr, MS_BIND | MS_REC, nullptr) == 0;
}

// Makes the user namespace the sandbox runs in: a child enters a new one, this process
// writes its id maps, and the child, now root in it, limits the user namespaces that can
// be made inside it to none (a nested one could not make the host writable, as its
// mounts arrive locked, but its root would hold every capability to probe the kernel
// with). Answers a descriptor of the namespace, or -1 with `error` set.
int makeUserNamespace(std::string& error) {
  int ready[2], go[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return error = describe("pipe"), -1;
  if (::pipe2(go, O_CLOEXEC) != 0) {
    ::close(ready[0]);
    ::close(ready[1]);
    return error = describe("pipe"), -1;
  }
  pid_t child = ::fork();
  if (child < 0) {
    for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
    return error = describe("fork"), -1;
  }
  if (child == 0) {
    ::close(ready[0]);
    ::close(go[1]);
    int failure = becomeMappedRoot() && ::unshare(CLONE_NEWUSER) == 0 ? 0 : errno;
    if (::write(ready[1], &failure, sizeof failure) != sizeof failure || failure) _exit(1);
    char mapped;
    if (::read(go[0], &mapped, 1) != 1) _exit(1);
    int fd = ::open("/proc/sys/user/max_user_namespaces", O_WRONLY);
    _exit(fd >= 0 && ::write(fd, "0\n", 2) == 2 ? 0 : 2);
  }
  ::close(ready[1]);
  ::close(go[0]);
  int fd = -1;
  int failure = 0;
  std::string proc = "/proc/" + std::to_string(child);
  if (::read(ready[0], &failure, sizeof failure) != sizeof failure) {
    error = "the user-namespace helper ended early";
  } else if (failure) {
    error = std::string("cannot make a user namespace: ") + std::strerror(failure);
  } else {
    bool mapped;
    if (::geteuid() == 0) {
      // The sandbox's ids 0 to 65535 stand for the range kept for it (RootOwnership.h),
      // so dpkg gives files the owners the archives name, none of them a host account.
      const std::string range = "0 " + std::to_string(kMappedRootId) + " " + std::to_string(kMappedIdCount) + "\n";
      mapped = writeText(proc + "/uid_map", range, error) && writeText(proc + "/gid_map", range, error);
    } else {
      // Without privileges only our own ids can be mapped: they become root inside.
      mapped = writeText(proc + "/uid_map", "0 " + std::to_string(::geteuid()) + " 1\n", error) &&
               writeText(proc + "/setgroups", "deny\n", error) &&
               writeText(proc + "/gid_map", "0 " + std::to_string(::getegid()) + " 1\n", error);
    }
    if (mapped) {
      fd = ::open((proc + "/ns/user").c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) error = describe("cannot open the user namespace");
    }
  }
  if (fd >= 0 && ::write(go[1], "m", 1) != 1) error = describe("cannot signal the user-namespace helper");
  ::close(go[1]);
  ::close(ready[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (fd >= 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
    if (error.empty()) error = "cannot forbid user namespaces inside the sandbox";
    ::close(fd);
    fd = -1;
  }
  return fd;
}

int exitStatusOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return 1;
}

int noSandbox(const std::string& reason) {
  std::fprintf(stderr, "%s%s; root commands are refused rather than run unconfined\n", kNoSandboxMessage,
               reason.c_str());
  return kNoSandboxStatus;
}
}  // namespace

std::string bubblewrapPath() {
  const char* given = std::getenv("QUILLBARK_BWRAP");
  bool ownPrivileges = ::getuid() == ::geteuid() && ::getgid() == ::getegid();
  if (ownPrivileges && given && *given) return given;
  return "/usr/bin/bwrap";
}

std::vector<std::string> sandboxArguments(const std::string& root, const std::vector<std::string>& topFolders,
                                          const std::string& command) {
  std::vector<std::string> args = {
      "--userns", std::to_string(kUserNamespaceDescriptor), "--assert-userns-disabled",
      "--info-fd", std::to_string(kInfoDescriptor),
      "--seccomp", std::to_string(kFilterDescriptor),
      "--unshare-pid", "--unshare-ipc", "--unshare-net", "--unshare-uts", "--unshare-cgroup-try",
      "--new-session",
  };
  // The order matters: later mounts go over earlier ones, and the root may lie in /tmp.
  for (const char* folder : kHostFolders) {
    struct stat st;
    if (::lstat(folder, &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      char target[256];
      ssize_t n = ::readlink(folder, target, sizeof target - 1);
      if (n <= 0) continue;
      args.insert(args.end(), {"--symlink", std::string(target, static_cast<size_t>(n)), folder});
    } else if (S_ISDIR(st.st_mode)) {
      args.insert(args.end(), {"--ro-bind", folder, folder});
    }
  }
  args.insert(args.end(), {"--perms", "0755", "--dir", "/etc"});
  for (const char* name : kHostSettings) {
    std::string path = std::string("/etc/") + name;
    args.insert(args.end(), {"--ro-bind-try", path, path});
  }
  args.insert(args.end(), {
      "--dev", "/dev",
      // The kernel's settings read-only (a write fails even before: they are the host
      // root's), and the first process, bubblewrap's own, out of sight: it stands outside
      // dpkg's chroot with no capability a maintainer script lacks, so its memory must not
      // be there to open.
      "--proc", "/proc",
      "--ro-bind", "/proc/sys", "/proc/sys",
      "--ro-bind-try", "/proc/sysrq-trigger", "/proc/sysrq-trigger",
      "--perms", "0555", "--tmpfs", "/proc/1",
      "--remount-ro", "/proc/1",
      "--tmpfs", "/tmp",
      "--tmpfs", "/run",
      "--perms", "0755", "--dir", "/run/quillbark",
      "--perms", "0644", "--ro-bind-data", std::to_string(kGuardDescriptor), kChrootGuardPath,
  });
  // The sandbox of a launcher run as root gets the whole root: its folder is the host
  // root's, which the sandbox's root can't change. An ordinary user's sandbox runs as the
  // folder's owner, so it gets the root's contents, never the folder that keeps the
  // host's other users out of them: the top read-only, each folder there writable.
  if (::geteuid() == 0) {
    args.insert(args.end(), {"--bind", kStagedRoot, root});
  } else {
    args.insert(args.end(), {"--ro-bind", root, root});
    for (const auto& folder : topFolders) args.insert(args.end(), {"--bind", root + "/" + folder, root + "/" + folder});
  }
  args.insert(args.end(), {
      "--remount-ro", "/",
      "--setenv", "TMPDIR", "/tmp",
      "--setenv", "LD_PRELOAD", kChrootGuardPath,
      "--chdir", "/",
      "--cap-drop", "ALL",
  });
  for (const char* capability : kCapabilities) args.insert(args.end(), {"--cap-add", capability});
  // bubblewrap keeps the user namespace's descriptor open into the command: the shell
  // closes the ones it was handed before the command runs. A watcher, apart from the
  // shell's jobs, waits for the end of the life line (the launcher's end) and then kills
  // every process of the sandbox but its init (-1 reaches nothing beyond the sandbox's
  // own process ids), so the init, which waits for them all, ends. The command keeps the
  // root's lock.
  args.insert(args.end(), {"--", "/bin/sh", "-c",
                           "exec 3<&- 4<&- 5<&- 8<&-; ( { read -r line; kill -s KILL -- -1; } <&6 >/dev/null 2>&1 & ); "
                           "exec 6<&-; " + command});
  return args;
}

namespace {
// A descriptor of the chroot guard's bytes, read from its start; -1 with `error` set.
int guardImage(std::string& error) {
  int fd = ::memfd_create("chroot-guard", MFD_CLOEXEC);
  if (fd < 0) return error = describe("cannot hold the chroot guard"), -1;
  size_t written = 0;
  while (written < kChrootGuardImageSize) {
    ssize_t n = ::write(fd, kChrootGuardImage + written, kChrootGuardImageSize - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  if (written != kChrootGuardImageSize || ::lseek(fd, 0, SEEK_SET) != 0) {
    error = describe("cannot hold the chroot guard");
    ::close(fd);
    return -1;
  }
  return fd;
}

// In the child, before bubblewrap runs: the descriptors at their places (kUserNamespace-
// Descriptor onwards, in that order; a missing one, -1, leaves its place closed), every
// other one the launcher holds or inherited closed. Async-signal-safe calls only.
constexpr int kPlaced = kFilterDescriptor - kUserNamespaceDescriptor + 1;
bool placeDescriptors(const int (&from)[kPlaced]) {
  int moved[kPlaced];
  for (int i = 0; i < kPlaced; ++i)
    if ((moved[i] = from[i] < 0 ? -1 : ::fcntl(from[i], F_DUPFD_CLOEXEC, 10)) < 0 && from[i] >= 0) return false;
  for (int i = 0; i < kPlaced; ++i) {
    const int to = kUserNamespaceDescriptor + i;
    if (moved[i] < 0) ::close(to);
    else if (::dup2(moved[i], to) != to) return false;
  }
  if (::syscall(SYS_close_range, kFilterDescriptor + 1, ~0u, 0) != 0) {
    long last = ::sysconf(_SC_OPEN_MAX);  // kernels before 5.9
    for (long fd = kFilterDescriptor + 1; fd < last; ++fd) ::close(static_cast<int>(fd));
  }
  return true;
}

// The launcher's end of the life line, and the signal that is ending the launcher.
volatile sig_atomic_t gLifeLine = -1;
volatile sig_atomic_t gEndingSignal = 0;

// A launcher asked to end ends its sandbox, waits for it, then ends as it was asked.
void endTheSandbox(int signal) {
  gEndingSignal = signal;
  int fd = gLifeLine;
  gLifeLine = -1;
  if (fd >= 0) ::close(fd);
}

// Once the command has ended, what it left running in the sandbox ends too: its init,
// which bubblewrap leaves to us (`report` names it), is killed, and with it the kernel
// kills the rest. Only a child of ours: its id can't have passed to another process.
void endTheRest(const std::string& report) {
  auto at = report.find("\"child-pid\":");
  if (at == std::string::npos) return;
  pid_t init = static_cast<pid_t>(std::strtol(report.c_str() + at + 12, nullptr, 10));
  siginfo_t state = {};
  if (init > 0 && ::waitid(P_PID, static_cast<id_t>(init), &state, WEXITED | WNOHANG | WNOWAIT) == 0)
    ::kill(init, SIGKILL);
}

// The folders at the top of the root (not links to them), which an ordinary user's
// sandbox gets writable.
std::vector<std::string> foldersAtTheTop(int rootFd) {
  std::vector<std::string> folders;
  int folder = ::openat(rootFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  DIR* entries = folder >= 0 ? ::fdopendir(folder) : nullptr;
  if (!entries) {
    if (folder >= 0) ::close(folder);
    return folders;
  }
  while (const dirent* entry = ::readdir(entries)) {
    const char* name = entry->d_name;
    struct stat st;
    if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0 &&
        ::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode))
      folders.emplace_back(name);
  }
  ::closedir(entries);
  std::sort(folders.begin(), folders.end());
  return folders;
}

void endTheSandboxOnSignals() {
  struct sigaction action = {};
  action.sa_handler = endTheSandbox;
  ::sigemptyset(&action.sa_mask);
  for (int signal : {SIGHUP, SIGINT, SIGTERM}) ::sigaddset(&action.sa_mask, signal);
  for (int signal : {SIGHUP, SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}
}  // namespace

int runSandboxed(const std::string& root, const std::string& command) {
  const std::string bwrap = bubblewrapPath();
  if (::access(bwrap.c_str(), X_OK) != 0) return noSandbox("bubblewrap is not installed at " + bwrap);
  std::string error;
  int guard = guardImage(error);
  if (guard < 0) return noSandbox(error);
  int filter = tracingFilter(error);
  if (filter < 0) return noSandbox(error);
  // Once another launcher's sandbox has ended (RootLock.h); never beside it. The root's
  // folder stays open, and locked, until this process ends; the lock file's lock is held
  // by every process of the sandbox too.
  const int rootFolder = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (rootFolder < 0) return noSandbox(describe(("cannot open " + root).c_str()));
  const int lock = lockRootForRun(rootFolder, kRootLockWait, error);
  if (lock < 0) {
    std::fprintf(stderr, "dedev: %s: %s\n", root.c_str(), error.c_str());
    return kRootBusyStatus;
  }
  // Holding them: what the application made in the root becomes the mapped root's, and
  // the root's folder is out of other users' reach (RootOwnership.h), which no command of
  // the sandbox can change (sandboxArguments).
  if (!secureRootFolder(rootFolder)) return noSandbox(describe(("cannot keep other users out of " + root).c_str()));
  if (::geteuid() == 0) giveUnmappedToMappedRoot(rootFolder);
  const std::vector<std::string> topFolders = ::geteuid() == 0 ? std::vector<std::string>() : foldersAtTheTop(rootFolder);
  int userNamespace = makeUserNamespace(error);
  if (userNamespace < 0) {
    ::close(guard);
    ::close(filter);
    return noSandbox(error);
  }

  // bubblewrap writes the sandboxed process's id here once the sandbox stands; without
  // it, the sandbox failed and bubblewrap has said why. A file, not a pipe: bubblewrap
  // must never die of writing it after this process is gone, halfway through making a
  // sandbox whose first process would then wait for it forever. Only this process
  // writes the life line, so its end reaches the sandbox however this process ends.
  int info = ::memfd_create("sandbox-info", MFD_CLOEXEC);
  int life[2];
  if (info < 0 || ::pipe2(life, O_CLOEXEC) != 0) {
    ::close(guard);
    ::close(filter);
    ::close(userNamespace);
    return noSandbox(describe("cannot hold the sandbox's report"));
  }
  gLifeLine = life[1];
  endTheSandboxOnSignals();
  // The sandbox's processes that outlive bubblewrap become ours to wait for.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0);
  std::vector<std::string> args = sandboxArguments(root, topFolders, command);
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(bwrap.c_str()));
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t child = ::fork();
  if (child == 0) {
    // Signals for the launcher's group (a terminal's Ctrl-C) reach the launcher alone,
    // which ends the sandbox through the life line; bubblewrap is never cut off halfway.
    ::setpgid(0, 0);
    std::string failed = "cannot run " + bwrap;
    if (!stageRoot(root.c_str())) failed = "cannot show the device root to the sandbox";
    else if (!becomeMappedRoot()) failed = "cannot become the sandbox's root";
    else if (placeDescriptors({userNamespace, info, guard, life[0], lock, filter})) ::execv(bwrap.c_str(), argv.data());
    std::fprintf(stderr, "%s%s: %s\n", kNoSandboxMessage, failed.c_str(), std::strerror(errno));
    _exit(kNoSandboxStatus);
  }
  ::close(userNamespace);
  ::close(guard);
  ::close(filter);
  ::close(life[0]);
  if (child < 0) {
    ::close(info);
    return noSandbox(describe("fork"));
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  std::string reported;
  char buffer[256];
  for (ssize_t n; (n = ::pread(info, buffer, sizeof buffer, static_cast<off_t>(reported.size()))) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) break;
    reported.append(buffer, static_cast<size_t>(n));
  }
  ::close(info);
  // bubblewrap answers when the command ends; its init, waiting for the rest, is ours now.
  endTheRest(reported);
  for (int other;;)
    if (::waitpid(-1, &other, 0) < 0 && errno != EINTR) break;
  if (gEndingSignal) {
    ::signal(gEndingSignal, SIG_DFL);
    ::raise(gEndingSignal);
  }
  if (reported.find("child-pid") == std::string::npos)
    return noSandbox("bubblewrap could not make it (exit status " + std::to_string(exitStatusOf(status)) + ")");
  return exitStatusOf(status);
}
}  // namespace launcher
