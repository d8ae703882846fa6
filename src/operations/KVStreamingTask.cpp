#include "operations/KVStreamingTask.h"

#include <stdexcept>

#include "foundation/Log.h"

namespace {
constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Length of the valid UTF-8 sequence at `p` (1 to 4), or 0 with `bad` set to how many
// bytes form the invalid part (the maximal subpart, at least 1).
size_t sequenceLength(const unsigned char* p, size_t available, size_t& bad) {
  unsigned char b = p[0];
  size_t length;
  unsigned char low = 0x80, high = 0xBF;
  if (b >= 0xC2 && b <= 0xDF) length = 2;
  else if (b >= 0xE0 && b <= 0xEF) {
    length = 3;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
  } else {
    bad = 1;
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    unsigned char lo = i == 1 ? low : 0x80, hi = i == 1 ? high : 0xBF;
    if (i >= available || p[i] < lo || p[i] > hi) {
      bad = i;
      return 0;
    }
  }
  return length;
}

// Resets the one-command flag and drops the child however the run ends.
struct RunScope {
  std::atomic<bool>& busy;
  std::mutex& mutex;
  std::shared_ptr<Process>& task;
  ~RunScope() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      task.reset();
    }
    busy = false;
  }
};
}  // namespace

std::string KVStreamingTask::decodeUTF8Lossy(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t n = bytes.size(), i = 0;
  while (i < n) {
    if (p[i] < 0x80) {
      out += static_cast<char>(p[i++]);
      continue;
    }
    size_t bad = 0;
    size_t length = sequenceLength(p + i, n - i, bad);
    if (length) {
      out.append(bytes.data() + i, length);
      i += length;
    } else {
      out += kReplacement;
      i += bad;
    }
  }
  return out;
}

void KVStreamingTask::LineBuffer::append(std::string_view bytes, const std::function<void(std::string)>& onLine) {
  pending_.append(bytes);
  size_t start = 0, lineFeed;
  while ((lineFeed = pending_.find('\n', std::max(start, scanned_))) != std::string::npos) {
    onLine(decodeUTF8Lossy(std::string_view(pending_).substr(start, lineFeed + 1 - start)));
    start = lineFeed + 1;
  }
  pending_.erase(0, start);
  scanned_ = pending_.size();
}

std::optional<std::string> KVStreamingTask::LineBuffer::finish() {
  if (pending_.empty()) return std::nullopt;
  std::string rest = decodeUTF8Lossy(pending_);
  pending_.clear();
  scanned_ = 0;
  return rest;
}

std::shared_ptr<KVStreamingTask> KVStreamingTask::streamingTaskForCommand(const std::string& command,
                                                                          OutputBlock block) {
  auto task = std::make_shared<KVStreamingTask>();
  task->runStreamingCommand(command, std::move(block));
  return task;
}

std::optional<std::string> KVStreamingTask::stringForFileHandle(Process& fileHandle) {
  Data data = fileHandle.readAvailableData();
  if (data.empty()) return std::nullopt;
  return std::string(data.begin(), data.end());
}

void KVStreamingTask::deliver(std::string piece, const OutputBlock& block) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (completeOutput_) *completeOutput_ += piece;
    else completeOutput_ = piece;
    availableOutput_ = std::move(piece);
  }
  // Only this thread changes the two texts while the command runs, so the block can
  // read them without the lock.
  if (block) block(availableOutput_, *completeOutput_, false, 1);
}

void KVStreamingTask::runStreamingCommand(const std::string& command, OutputBlock block) {
  bool expected = false;
  if (!busy_.compare_exchange_strong(expected, true)) {
    KVLog("%s", kConcurrentUseMessage);
    throw std::logic_error(kConcurrentUseMessage);
  }
  auto process = std::make_shared<Process>();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    task_ = process;
    availableOutput_.clear();
    completeOutput_.reset();
  }
  RunScope scope{busy_, mutex_, task_};

  process->setLaunchPath("/bin/bash");
  process->setArguments({"-c", command});
  // The package tools are not stopped half way by what stops the application: a Ctrl-C
  // at its terminal, the terminal's hangup. dpkg finishes what it began.
  process->setNewSession(true);

  int32_t status;
  std::string launchError;
  if (!process->launch(&launchError)) {
    deliver(launchError + "\n", block);
    status = 127;
  } else {
    LineBuffer lines;
    auto onLine = [&](std::string line) { deliver(std::move(line), block); };
    while (auto chunk = stringForFileHandle(*process)) lines.append(*chunk, onLine);
    if (auto rest = lines.finish()) deliver(std::move(*rest), block);
    process->waitUntilExit();
    status = process->terminationStatus();
  }

  std::string whole;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    availableOutput_.clear();
    whole = completeOutput_.value_or(std::string());
  }
  if (block) block(std::string(), whole, true, status);
}

std::shared_ptr<Process> KVStreamingTask::task() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return task_;
}

int KVStreamingTask::fileHandle() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return task_ ? task_->fileDescriptor() : -1;
}

std::string KVStreamingTask::availableOutput() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return availableOutput_;
}

std::optional<std::string> KVStreamingTask::completeOutput() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return completeOutput_;
}
