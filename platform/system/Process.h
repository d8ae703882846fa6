#pragma once
// A child process in place of the platform's NSTask: a launch path, arguments and an
// environment, one pipe that receives both standard output and standard error,
// incremental reads, a wait and the termination status. Standard input is /dev/null.
//
//   Process p;
//   p.setLaunchPath("/bin/bash");
//   p.setArguments({"-c", "echo hi"});
//   p.launch();
//   for (Data d = p.readAvailableData(); !d.empty(); d = p.readAvailableData()) ...
//   p.waitUntilExit();
//   int status = p.terminationStatus();
//
// or, when only the whole output matters: Process::run("/bin/bash", {"-c", "echo hi"}).
#include <sys/types.h>

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Value.h"

class Process {
 public:
  Process();
  ~Process();  // closes the pipe, then waits for a child that is still running
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  void setLaunchPath(std::string path) { launchPath_ = std::move(path); }
  const std::string& launchPath() const { return launchPath_; }
  // The arguments after argument zero (which is the launch path).
  void setArguments(std::vector<std::string> arguments) { arguments_ = std::move(arguments); }
  const std::vector<std::string>& arguments() const { return arguments_; }
  // Replaces the child's environment; by default it inherits this process's.
  void setEnvironment(std::map<std::string, std::string> environment) { environment_ = std::move(environment); }
  void setCurrentDirectoryPath(std::string path) { currentDirectory_ = std::move(path); }
  // Starts the child in a session of its own: the terminal's signals (Ctrl-C, a hangup)
  // and this process's end do not reach it.
  void setNewSession(bool newSession) { newSession_ = newSession; }

  // Starts the child. Answers false, with `error` set, when it can't be started.
  bool launch(std::string* error = nullptr);

  // Blocks until the child has written something, and answers it. An empty answer
  // means the output has ended: the pipe is closed, or the child has exited and
  // everything it wrote has been read (a background grandchild that keeps the pipe
  // open does not hold the reader).
  Data readAvailableData();
  // Reads until the output has ended and answers all of it.
  std::string readToEnd();
  // The reading end of the pipe (-1 before launch or after the output has ended).
  int fileDescriptor() const { return readFd_; }

  void waitUntilExit();
  bool isRunning();
  pid_t processIdentifier() const { return pid_; }
  // The exit status; 128 + the signal number for a child that a signal ended.
  int terminationStatus() const { return status_; }
  bool wasTerminatedBySignal() const { return signaled_; }
  void terminate();  // SIGTERM

  // posix_spawn and waitpid: runs `path` with `arguments`, sharing this process's
  // standard streams and environment, and waits for it. Answers the exit status
  // (as terminationStatus() does), or -1 when it could not be started.
  static int spawnAndWait(const std::string& path, const std::vector<std::string>& arguments,
                          std::string* error = nullptr);

  struct Outcome {
    std::string output;  // standard output and error together
    int status = -1;     // as terminationStatus(); -1 when the program could not be started
  };
  // Runs `path` with `arguments` (and `environment` in place of ours, when given), reads
  // its output to the end and waits for it. When it can't be started, the output is
  // the reason.
  static Outcome run(const std::string& path, const std::vector<std::string>& arguments,
                     std::optional<std::map<std::string, std::string>> environment = std::nullopt);

 private:
  void recordStatus(int waitStatus);
  void closeReader();

  std::string launchPath_;
  std::vector<std::string> arguments_;
  std::optional<std::map<std::string, std::string>> environment_;
  std::string currentDirectory_;
  bool newSession_ = false;

  pid_t pid_ = -1;
  std::atomic<int> readFd_{-1};  // read by other threads through fileDescriptor()
  int pidFd_ = -1;         // becomes readable when the child exits (-1 where unsupported)
  bool childGone_ = false;  // the child has exited; the pipe is being drained
  bool exited_ = false;     // reaped
  int status_ = 0;
  bool signaled_ = false;
};
