#include "system/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace {
// The attributes and file actions every child gets: default signal dispositions and
// an empty signal mask (so a parent that ignores SIGPIPE doesn't pass that on), stdin
// from /dev/null, and no descriptor of ours beyond the standard three.
struct SpawnSetup {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;

  SpawnSetup() {
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    posix_spawn_file_actions_init(&actions);
  }
  ~SpawnSetup() {
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
  }
  void closeTheRest() {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  }
};

std::vector<char*> cStrings(std::vector<std::string>& strings) {
  std::vector<char*> out;
  for (auto& s : strings) out.push_back(s.data());
  out.push_back(nullptr);
  return out;
}

int openPidFd(pid_t pid) {
#ifdef SYS_pidfd_open
  long fd = syscall(SYS_pidfd_open, pid, 0);
  if (fd >= 0) {
    fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
    return static_cast<int>(fd);
  }
#endif
  (void)pid;
  return -1;
}

int statusFromWait(int waitStatus, bool* signaled) {
  if (WIFEXITED(waitStatus)) {
    if (signaled) *signaled = false;
    return WEXITSTATUS(waitStatus);
  }
  if (WIFSIGNALED(waitStatus)) {
    if (signaled) *signaled = true;
    return 128 + WTERMSIG(waitStatus);
  }
  return -1;
}

pid_t waitForChild(pid_t pid, int* waitStatus, int options) {
  pid_t r;
  do {
    r = waitpid(pid, waitStatus, options);
  } while (r < 0 && errno == EINTR);
  return r;
}
}  // namespace

Process::Process() = default;

Process::~Process() {
  // Close our end first: a child still writing then ends on SIGPIPE instead of
  // waiting forever on a full pipe.
  closeReader();
  if (pid_ > 0 && !exited_) waitUntilExit();
}

void Process::closeReader() {
  if (readFd_ >= 0) ::close(readFd_);
  if (pidFd_ >= 0) ::close(pidFd_);
  readFd_ = pidFd_ = -1;
}

bool Process::launch(std::string* error) {
  if (pid_ > 0) {
    if (error) *error = "the process was already launched";
    return false;
  }
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) {
    if (error) *error = std::string("pipe: ") + strerror(errno);
    return false;
  }
  SpawnSetup setup;
  posix_spawn_file_actions_addopen(&setup.actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&setup.actions, fds[1], 2);
  if (!currentDirectory_.empty()) posix_spawn_file_actions_addchdir_np(&setup.actions, currentDirectory_.c_str());
  if (newSession_) posix_spawnattr_setflags(&setup.attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);
  setup.closeTheRest();

  std::vector<std::string> argv{launchPath_};
  argv.insert(argv.end(), arguments_.begin(), arguments_.end());
  auto argvC = cStrings(argv);
  std::vector<std::string> env;
  std::vector<char*> envC;
  if (environment_) {
    for (auto& [k, v] : *environment_) env.push_back(k + "=" + v);
    envC = cStrings(env);
  }
  pid_t pid;
  int rc = posix_spawn(&pid, launchPath_.c_str(), &setup.actions, &setup.attr, argvC.data(),
                       environment_ ? envC.data() : environ);
  ::close(fds[1]);
  if (rc != 0) {
    ::close(fds[0]);
    if (error) *error = "cannot run " + launchPath_ + ": " + strerror(rc);
    return false;
  }
  pid_ = pid;
  readFd_ = fds[0];
  pidFd_ = openPidFd(pid);
  return true;
}

Data Process::readAvailableData() {
  Data out;
  if (readFd_ < 0) return out;
  uint8_t buffer[65536];
  for (;;) {
    if (!childGone_ && pidFd_ >= 0) {
      pollfd fds[2] = {{readFd_, POLLIN, 0}, {pidFd_, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        break;
      }
      if (!(fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
        if (fds[1].revents) {
          // Everything the child wrote is in the pipe now; drain it without waiting
          // for writers it may have left behind.
          childGone_ = true;
          fcntl(readFd_, F_SETFL, fcntl(readFd_, F_GETFL) | O_NONBLOCK);
        }
        continue;
      }
    }
    ssize_t n = ::read(readFd_, buffer, sizeof buffer);
    if (n > 0) {
      out.assign(buffer, buffer + n);
      return out;
    }
    if (n < 0 && errno == EINTR) continue;
    break;  // end of the pipe, or drained after the child exited
  }
  closeReader();
  return out;
}

std::string Process::readToEnd() {
  std::string out;
  for (Data d = readAvailableData(); !d.empty(); d = readAvailableData()) out.append(d.begin(), d.end());
  return out;
}

Process::Outcome Process::run(const std::string& path, const std::vector<std::string>& arguments,
                              std::optional<std::map<std::string, std::string>> environment) {
  Outcome outcome;
  Process process;
  process.setLaunchPath(path);
  process.setArguments(arguments);
  if (environment) process.setEnvironment(std::move(*environment));
  if (!process.launch(&outcome.output)) return outcome;
  outcome.output = process.readToEnd();
  process.waitUntilExit();
  outcome.status = process.terminationStatus();
  return outcome;
}

void Process::recordStatus(int waitStatus) {
  exited_ = true;
  status_ = statusFromWait(waitStatus, &signaled_);
}

void Process::waitUntilExit() {
  if (pid_ <= 0 || exited_) return;
  int ws = 0;
  if (waitForChild(pid_, &ws, 0) == pid_) recordStatus(ws);
  else exited_ = true;
}

bool Process::isRunning() {
  if (pid_ <= 0 || exited_) return false;
  int ws = 0;
  pid_t r = waitForChild(pid_, &ws, WNOHANG);
  if (r == pid_) {
    recordStatus(ws);
    return false;
  }
  return r == 0;
}

void Process::terminate() {
  if (pid_ > 0 && !exited_) ::kill(pid_, SIGTERM);
}

int Process::spawnAndWait(const std::string& path, const std::vector<std::string>& arguments, std::string* error) {
  SpawnSetup setup;
  std::vector<std::string> argv{path};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  auto argvC = cStrings(argv);
  pid_t pid;
  int rc = posix_spawn(&pid, path.c_str(), &setup.actions, &setup.attr, argvC.data(), environ);
  if (rc != 0) {
    if (error) *error = "cannot run " + path + ": " + strerror(rc);
    return -1;
  }
  int ws = 0;
  if (waitForChild(pid, &ws, 0) != pid) return -1;
  return statusFromWait(ws, nullptr);
}
