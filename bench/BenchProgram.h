#pragma once
// The built program, driven through its terminal as a user drives it, and the processor
// time of a whole process tree, the sandboxed tools included (a control group counts
// every process started inside it, whatever namespaces it makes).
#include <signal.h>
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

// A control group of its own (cgroup v2, or v1's cpuacct), for one process tree.
class BenchCpuGroup {
 public:
  // None when this machine lets no control group be made here (not root, no cgroup
  // file system): the benchmark then cannot count a sandboxed tree and says so.
  static std::optional<BenchCpuGroup> make(const std::string& name);
  ~BenchCpuGroup();
  BenchCpuGroup(BenchCpuGroup&& other) noexcept;
  BenchCpuGroup(const BenchCpuGroup&) = delete;

  // The file a process writes its id to, to join.
  std::string procsFile() const { return path_ + "/cgroup.procs"; }
  // Processor time of everything that ran in the group so far, in seconds.
  double seconds() const;
  // Waits until no process is left in the group, for at most `limit` seconds: a quit
  // leaves the package tools the program started to end on their own, and what they do
  // then is not the next start's. Answers whether the group emptied.
  bool waitUntilEmpty(double limit) const;

 private:
  BenchCpuGroup(std::string path, bool v2) : path_(std::move(path)), v2_(v2) {}
  std::string path_;
  bool v2_ = false;
};

// The program on a device root, its standard input and output piped to the benchmark.
class BenchProgram {
 public:
  // Starts `executable --device-root root` in `group` (when given); waits for its prompt.
  BenchProgram(const std::string& executable, const std::string& root, const BenchCpuGroup* group);
  ~BenchProgram();
  BenchProgram(const BenchProgram&) = delete;

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0; }
  // Seconds from the start to the first prompt, by the wall clock.
  double startSeconds() const { return startSeconds_; }
  // Processor time the group counted from the start to the first prompt (the program and
  // whatever it started meanwhile), in seconds; 0 without a group.
  double startCpuSeconds() const { return startCpuSeconds_; }
  // Types a line and answers what the program printed until its next prompt.
  std::string command(const std::string& line, double timeoutSeconds = 30);
  // Fields of /proc/<pid>/status in kB (VmRSS, VmHWM).
  long statusKilobytes(const char* field) const;
  // Processor time of the program's own process (its threads), in seconds.
  double ownSeconds() const;
  // "quit", and waits for the end.
  void quit();

 private:
  std::string readUntilPrompt(double timeoutSeconds);
  pid_t pid_ = -1;
  int in_ = -1, out_ = -1;
  double startSeconds_ = 0;
  double startCpuSeconds_ = 0;
};

// The processor time of the program's start to its first screen, in milliseconds: the
// median of `runs` starts on `device`, each counted by `group` (its files warm).
double benchStartCpuMilliseconds(const std::string& executable, const std::string& device, const BenchCpuGroup& group,
                                 int runs);

// A fresh device root made by the program itself, past its first run (the first-run
// walk marked done) and with a recent full refresh, so starting it refreshes nothing.
std::string benchDeviceRoot(const std::string& executable, const std::string& folder);

// Seconds on the monotonic clock.
double benchNow();
