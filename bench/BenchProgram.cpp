#include "BenchProgram.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "foundation/Date.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "system/DeviceRoot.h"

double benchNow() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// ---- BenchCpuGroup

std::optional<BenchCpuGroup> BenchCpuGroup::make(const std::string& name) {
  const std::string unique = name + "-" + std::to_string(getpid());
  // cgroup v2 (one hierarchy), then v1's cpuacct controller.
  if (Files::exists("/sys/fs/cgroup/cgroup.controllers")) {
    std::string path = "/sys/fs/cgroup/" + unique;
    if (::mkdir(path.c_str(), 0755) == 0) return BenchCpuGroup(path, true);
  }
  for (const char* base : {"/sys/fs/cgroup/cpuacct", "/sys/fs/cgroup/cpu,cpuacct"}) {
    std::string path = std::string(base) + "/" + unique;
    if (Files::exists(std::string(base) + "/cpuacct.usage") && ::mkdir(path.c_str(), 0755) == 0)
      return BenchCpuGroup(path, false);
  }
  return std::nullopt;
}

BenchCpuGroup::~BenchCpuGroup() {
  // The group goes once its processes have; a benchmark waits for them first.
  if (!path_.empty()) ::rmdir(path_.c_str());
}

BenchCpuGroup::BenchCpuGroup(BenchCpuGroup&& other) noexcept : path_(std::move(other.path_)), v2_(other.v2_) {
  other.path_.clear();
}

double BenchCpuGroup::seconds() const {
  std::ifstream in(path_ + (v2_ ? "/cpu.stat" : "/cpuacct.usage"));
  if (!v2_) {
    double nanoseconds = 0;
    in >> nanoseconds;
    return nanoseconds / 1e9;
  }
  std::string key;
  double value = 0;
  while (in >> key >> value)
    if (key == "usage_usec") return value / 1e6;
  return 0;
}

bool BenchCpuGroup::waitUntilEmpty(double limit) const {
  const double deadline = benchNow() + limit;
  for (;;) {
    std::ifstream in(procsFile());
    std::string process;
    if (!(in >> process)) return true;
    if (benchNow() >= deadline) return false;
    usleep(20000);
  }
}

// ---- BenchProgram

BenchProgram::BenchProgram(const std::string& executable, const std::string& root, const BenchCpuGroup* group) {
  int toChild[2], fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return;
  const std::string procs = group ? group->procsFile() : std::string();
  const double started = benchNow(), cpuBefore = group ? group->seconds() : 0;
  pid_ = fork();
  if (pid_ == 0) {
    if (!procs.empty()) {
      std::string self = std::to_string(getpid());
      int fd = ::open(procs.c_str(), O_WRONLY);
      if (fd < 0 || ::write(fd, self.data(), self.size()) < 0) _exit(126);
      ::close(fd);
    }
    dup2(toChild[0], STDIN_FILENO);
    dup2(fromChild[1], STDOUT_FILENO);
    dup2(fromChild[1], STDERR_FILENO);
    execl(executable.c_str(), executable.c_str(), "--device-root", root.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  ::close(toChild[0]);
  ::close(fromChild[1]);
  in_ = toChild[1];
  out_ = fromChild[0];
  readUntilPrompt(30);
  startSeconds_ = benchNow() - started;
  if (group) startCpuSeconds_ = group->seconds() - cpuBefore;
}

double benchStartCpuMilliseconds(const std::string& executable, const std::string& device, const BenchCpuGroup& group,
                                 int runs) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    BenchProgram program(executable, device, &group);
    if (!program.running() || program.startSeconds() >= 30) {
      std::fprintf(stderr, "benchmark result wrong: the program did not start on %s\n", device.c_str());
      std::exit(1);
    }
    times.push_back(program.startCpuSeconds() * 1e3);
    program.quit();
    if (!group.waitUntilEmpty(120)) {
      std::fprintf(stderr, "benchmark result wrong: the program's tools still ran 120 s after it quit on %s\n",
                   device.c_str());
      std::exit(1);
    }
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

BenchProgram::~BenchProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
  }
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

std::string BenchProgram::readUntilPrompt(double timeoutSeconds) {
  std::string text;
  const double deadline = benchNow() + timeoutSeconds;
  char buffer[65536];
  while (benchNow() < deadline) {
    // The prompt ends what a command printed.
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "> ") == 0) break;
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    ssize_t n = ::read(out_, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  return text;
}

std::string BenchProgram::command(const std::string& line, double timeoutSeconds) {
  std::string typed = line + "\n";
  if (::write(in_, typed.data(), typed.size()) < 0) return {};
  return readUntilPrompt(timeoutSeconds);
}

long BenchProgram::statusKilobytes(const char* field) const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/status");
  std::string line;
  const size_t length = std::strlen(field);
  while (std::getline(in, line))
    if (line.compare(0, length, field) == 0 && line.size() > length && line[length] == ':')
      return std::atol(line.c_str() + length + 1);
  return 0;
}

double BenchProgram::ownSeconds() const {
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  double ticks = 0;
  for (int i = 0; i < 13 && fields >> field; ++i)
    if (i == 11 || i == 12) ticks += std::atof(field.c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BenchProgram::quit() {
  if (pid_ <= 0) return;
  std::string typed = "quit\n";
  if (::write(in_, typed.data(), typed.size()) < 0) ::kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

// ---- device roots

std::string benchDeviceRoot(const std::string& executable, const std::string& folder) {
  {
    BenchProgram first(executable, folder, nullptr);
    first.quit();
  }
  const std::string preferences =
      folder + DeviceRoot::kApplicationSupport + "/me.korvale.quillbark.plist";
  auto values = Value::fromPropertyListFile(preferences);
  if (!values || !values->isDictionary()) {
    std::fprintf(stderr, "the program made no preference file at %s\n", preferences.c_str());
    std::exit(1);
  }
  Value changed = *values;
  changed.set("setupDone", Value(true));
  changed.set("lastRefreshDate", Value(Date::now()));
  if (!Files::writeAtomically(preferences, changed.toXMLPropertyList())) std::exit(1);
  return folder;
}
