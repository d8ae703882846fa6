#include "PseudoTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

namespace {
double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
}  // namespace

PseudoTerminal::PseudoTerminal(const std::string& program, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::string>& environment, unsigned short columns) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  std::string slave = ptsname(master_);
  winsize size{40, columns, 0, 0};
  ioctl(master_, TIOCSWINSZ, &size);
  std::vector<std::string> args{program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  // Everything the child needs is made before the fork: only plain system calls after it.
  std::map<std::string, std::string> variables;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    auto equals = entry.find('=');
    if (equals != std::string::npos) variables[entry.substr(0, equals)] = entry.substr(equals + 1);
  }
  variables["TERM"] = "xterm";
  variables["XDG_STATE_HOME"] = state_.path();
  for (auto& [name, value] : environment) variables[name] = value;
  std::vector<std::string> entries;
  for (auto& [name, value] : variables) entries.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : entries) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  pid_ = fork();
  if (pid_ == 0) {
    // The child: a session of its own whose controlling terminal is the slave side.
    setsid();
    int fd = open(slave.c_str(), O_RDWR);
    if (fd < 0) _exit(126);
    ioctl(fd, TIOCSCTTY, 0);
    dup2(fd, 0), dup2(fd, 1), dup2(fd, 2);
    if (fd > 2) close(fd);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
}

PseudoTerminal::~PseudoTerminal() {
  if (pid_ > 0 && !status_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (master_ >= 0) close(master_);
}

void PseudoTerminal::send(const std::string& keys) {
  size_t done = 0;
  while (done < keys.size()) {
    ssize_t n = write(master_, keys.data() + done, keys.size() - done);
    if (n <= 0) return;
    done += size_t(n);
  }
}

void PseudoTerminal::paste(const std::string& keys) {
  size_t done = 0;
  while (done < keys.size()) {
    pollfd ready{master_, POLLIN | POLLOUT, 0};
    if (poll(&ready, 1, 1000) < 0) return;
    if (ready.revents & POLLIN) readSome(0);
    if (ready.revents & (POLLERR | POLLHUP)) return;
    if (!(ready.revents & POLLOUT)) continue;
    ssize_t n = write(master_, keys.data() + done, std::min<size_t>(keys.size() - done, 512));
    if (n <= 0) return;
    done += size_t(n);
  }
}

bool PseudoTerminal::readSome(int timeoutMs) {
  pollfd ready{master_, POLLIN, 0};
  if (poll(&ready, 1, timeoutMs) <= 0) return false;
  char buffer[4096];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n <= 0) return false;  // EIO once the program and its terminal are gone
  output_.append(buffer, size_t(n));
  return true;
}

bool PseudoTerminal::waitFor(const std::string& text, double seconds) {
  auto start = std::chrono::steady_clock::now();
  while (true) {
    size_t at = output_.find(text, matched_);
    if (at != std::string::npos) {
      matched_ = at + text.size();
      return true;
    }
    double left = seconds - secondsSince(start);
    if (left <= 0 || !readSome(int(left * 1000) + 1)) {
      if (output_.find(text, matched_) != std::string::npos) continue;
      return false;
    }
  }
}

std::optional<int> PseudoTerminal::waitForExit(double seconds) {
  auto start = std::chrono::steady_clock::now();
  while (!status_ && secondsSince(start) < seconds) {
    int status = 0;
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      break;
    }
    // The program's output keeps the terminal's buffer from filling while it leaves.
    if (!readSome(50)) {
      pollfd none{-1, 0, 0};
      poll(&none, 0, 20);
    }
  }
  return status_;
}
