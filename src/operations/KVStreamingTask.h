#pragma once
// Runs one shell command line as a child process ("/bin/bash" "-c" line) and hands its
// output to a block line by line while it runs, then once more with the exit status
// when it has ended. The calling thread waits until the command exits, and every call
// of the block happens on that thread.
//
// Output is read to the very end before the wait, so nothing written just before the
// exit is lost. Pieces are whole lines, each with its line feed (a last line without
// one comes alone at the end); bytes that are not UTF-8 become U+FFFD. The whole output
// handed to the block is exactly what the command printed, decoded that way.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "system/Process.h"

class KVStreamingTask {
 public:
  // (piece, whole output so far, finished, exit status). Calls before the end carry
  // status 1; the one final call carries an empty piece and the real status.
  using OutputBlock = std::function<void(const std::string& piece, const std::string& completeOutput,
                                         bool finished, int32_t status)>;

  static constexpr const char* kConcurrentUseMessage =
      "you can only run a single command at a time with KVStreamingTask. If you need to run a concurent "
      "command, then create a new instance of KVStreamingTask";

  // A new instance that has run `command`; returned after the command has ended.
  static std::shared_ptr<KVStreamingTask> streamingTaskForCommand(const std::string& command, OutputBlock block);

  // Runs `command` and blocks until it has exited. Calling it while this instance
  // runs a command is a programming error: it throws std::logic_error with
  // kConcurrentUseMessage.
  void runStreamingCommand(const std::string& command, OutputBlock block);

  // Reads the data the handle has now, waiting for some when there is none yet; the
  // bytes as they came, or nothing when the output has ended.
  static std::optional<std::string> stringForFileHandle(Process& fileHandle);

  // `bytes` as UTF-8 text, each invalid sequence replaced by U+FFFD.
  static std::string decodeUTF8Lossy(std::string_view bytes);

  // Cuts bytes that arrive in arbitrary pieces into whole decoded lines.
  class LineBuffer {
   public:
    // Adds bytes and hands over every line they complete, with its line feed.
    void append(std::string_view bytes, const std::function<void(std::string line)>& onLine);
    // What is left after the last line feed, decoded; nothing when nothing is left.
    std::optional<std::string> finish();

   private:
    std::string pending_;
    size_t scanned_ = 0;  // bytes of pending_ known to hold no line feed
  };

  std::shared_ptr<Process> task() const;
  int fileHandle() const;  // the pipe's reading end, -1 when no command runs
  std::string availableOutput() const;
  std::optional<std::string> completeOutput() const;
  const OutputBlock& didUpdateBlock() const { return didUpdateBlock_; }  // declared; never set

 private:
  void deliver(std::string piece, const OutputBlock& block);

  mutable std::mutex mutex_;
  std::atomic<bool> busy_{false};
  std::shared_ptr<Process> task_;
  std::string availableOutput_;
  std::optional<std::string> completeOutput_;
  OutputBlock didUpdateBlock_;
};
