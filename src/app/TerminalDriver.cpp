#include "app/TerminalDriver.h"

#include <unistd.h>
#include <ext/stdio_filebuf.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <istream>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

#include "app/TerminalCommands.h"
#include "app/TerminalLineEditor.h"
#include "app/TerminalOutput.h"
#include "app/TerminalText.h"
#include "app/QuitGate.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/RunLoop.h"
#include "uikit/UIInteraction.h"

namespace {
std::atomic<bool> gStop{false};
std::atomic<bool> gRunning{false};      // a command is running on the main thread
std::atomic<bool> gInterrupted{false};  // ... and a Ctrl-C asked it to stop
std::atomic<bool> gEditing{false};      // lines are read by the line editor
std::atomic<bool> gReading{false};      // ... which is reading one now
std::atomic<bool> gQuitAsked{false};    // a signal asked to quit

const char* kWelcome = "(type help for the commands, quit to leave)\n";

// The lines a reader thread hands to the main thread, one at a time: the reader asks
// for the next line only when the main thread wants it, so a prompt never comes before
// the answer to the line above it.
struct Input {
  std::mutex mutex;
  std::condition_variable wanted;
  std::deque<std::string> lines;
  bool wantLine = false;
  bool ended = false;
};

using LineReader = std::function<std::optional<std::string>()>;

// The reader thread may outlive the session while blocked on a read; it holds what it
// uses, and a read blocked at exit must not hold the process. A terminal's input goes on
// after a Ctrl-D (`resumes`): a quit that waits for the package tools reads on.
void startReader(std::shared_ptr<Input> input, LineReader read, bool resumes) {
  std::thread([input, read, resumes] {
    while (true) {
      {
        std::unique_lock<std::mutex> lock(input->mutex);
        input->wanted.wait(lock, [&] { return input->wantLine; });
        input->wantLine = false;
      }
      std::optional<std::string> line = read();
      {
        std::lock_guard<std::mutex> lock(input->mutex);
        if (line) input->lines.push_back(*line);
        else input->ended = true;
      }
      RunLoop::main().post([] {});
      if (!line && !resumes) return;
    }
  }).detach();
}

void wantLine(Input& input) {
  std::lock_guard<std::mutex> lock(input.mutex);
  input.wantLine = true;
  input.wanted.notify_one();
}

// The session on the main thread. `prompt` is printed before each line is asked for
// (empty where the line editor prints its own); `remember` keeps a line that ran, for
// the line editor's history; `resumes`: the input is read on after it ended (a terminal's
// Ctrl-D), which a script or a pipe is not. Answers the number of commands that failed.
size_t runSession(const std::shared_ptr<Input>& input, TerminalOutput& output, const std::string& prompt,
                  const std::function<void(const std::string&)>& remember, bool resumes) {
  gStop = false;
  UIInteraction::runUntilIdle();
  output.screen(UIInteraction::screen());
  output.say(kWelcome);
  output.prompt(prompt);
  wantLine(*input);
  // A quit while the package tools run waits for them, once: answers true to leave now.
  auto askToQuit = [&output] {
    std::string message;
    bool leave = QuitGate::ask(&message, NSLocalizedString("Quit again to leave now.")) == QuitGate::Answer::Leave;
    if (!message.empty()) output.say(message + "\n");
    return leave;
  };
  bool inputOver = false;  // a script or a pipe ended: nothing more comes from it
  while (!gStop) {
    auto ready = [&] {
      std::lock_guard<std::mutex> lock(input->mutex);
      return !input->lines.empty() || (input->ended && !inputOver) || gStop || gQuitAsked || QuitGate::leaving();
    };
    if (!RunLoop::main().runUntil(ready, 3600)) continue;
    if (gStop || QuitGate::leaving()) break;
    if (gQuitAsked.exchange(false)) {
      if (askToQuit()) break;
      continue;
    }
    std::string line;
    bool ended = false;
    {
      std::lock_guard<std::mutex> lock(input->mutex);
      if (!input->lines.empty()) {
        line = TerminalText::trim(TerminalText::withoutComment(TerminalText::withoutPromptMark(input->lines.front())));
        input->lines.pop_front();
      } else if (input->ended && !inputOver) {
        ended = true;
        if (resumes) input->ended = false;
        else inputOver = true;
      } else {
        continue;
      }
    }
    if (ended) {
      // The end of a script that has already asked to quit asks nothing more.
      if (!resumes && QuitGate::waiting()) continue;
      if (askToQuit()) break;
      if (resumes) {
        output.prompt(prompt);
        wantLine(*input);
      }
      continue;
    }
    if (!line.empty()) {
      if (remember && TerminalCommands::keptInHistory(line)) remember(line);
      gInterrupted = false;
      gRunning = true;
      bool more = TerminalCommands::execute(line, output, gInterrupted);
      gRunning = false;
      if (!more && askToQuit()) break;
      if (gStop || QuitGate::leaving()) break;
    }
    output.prompt(prompt);
    wantLine(*input);
  }
  output.prompt("\n");
  return output.errorCount();
}

// Asks the main thread for the completions and waits for them; the main thread is idle
// while a line is being typed.
TerminalCommands::Completion completeOnMainThread(const std::string& beforeCursor) {
  auto promise = std::make_shared<std::promise<TerminalCommands::Completion>>();
  auto future = promise->get_future();
  RunLoop::main().post([promise, beforeCursor] { promise->set_value(TerminalCommands::complete(beforeCursor)); });
  if (future.wait_for(std::chrono::seconds(5)) != std::future_status::ready) return {};
  return future.get();
}
}  // namespace

void stopTerminalSession() {
  gStop = true;
  RunLoop::main().post([] {});
}

void askTerminalSessionToQuit() {
  gQuitAsked = true;
  RunLoop::main().post([] {});
}

bool interruptTerminalCommand() {
  // On a terminal, a Ctrl-C only comes as a signal outside the line editor: one that
  // comes after its command has ended but before the next prompt was meant for that
  // command, and does not end the session.
  if (!gRunning) return gEditing && !gReading;
  if (gInterrupted.exchange(true)) return false;
  RunLoop::main().post([] {});
  return true;
}

namespace {
// A script or a pipe: plain lines, the prompt printed by the session.
struct PlainInput {
  explicit PlainInput(int descriptor) : buffer(descriptor, std::ios::in), stream(&buffer) {}
  __gnu_cxx::stdio_filebuf<char> buffer;
  std::istream stream;
};
}  // namespace

int runTerminalSession(int inputDescriptor, int outputDescriptor, int errorDescriptor, const std::string& historyFile) {
  __gnu_cxx::stdio_filebuf<char> outputBuffer(dup(outputDescriptor), std::ios::out);
  __gnu_cxx::stdio_filebuf<char> errorBuffer(dup(errorDescriptor), std::ios::out);
  std::ostream out(&outputBuffer);
  std::ostream err(&errorBuffer);
  TerminalOutput output(out, outputDescriptor, err, errorDescriptor);
  auto input = std::make_shared<Input>();
  if (!isatty(inputDescriptor)) {
    auto plain = std::make_shared<PlainInput>(dup(inputDescriptor));
    startReader(input, [plain]() -> std::optional<std::string> {
      std::string line;
      if (!std::getline(plain->stream, line)) return std::nullopt;
      return line;
    }, false);
    QuitGate::setWhenToolsEnd([&output](const std::string& message) {
      output.say(message + "\n");
      stopTerminalSession();
    });
    // A script must be able to tell that a command of it failed.
    size_t failed = runSession(input, output, "> ", nullptr, false);
    QuitGate::setWhenToolsEnd(nullptr);
    return failed > 0 ? 1 : 0;
  }
  // Never deleted: the reader thread may still be inside it when the process leaves.
  static TerminalLineEditor* editor = nullptr;
  if (!editor) editor = new TerminalLineEditor(inputDescriptor, outputDescriptor, completeOnMainThread, historyFile);
  gEditing = true;
  // A Ctrl-C signal while gReading is set can then only come from outside the terminal
  // (kill -INT): that one leaves. Signals between lines belong to the command.
  startReader(input, [] {
    editor->takeInterruptsAsKeys(true);
    gReading = true;
    auto line = editor->readLine();
    gReading = false;
    editor->takeInterruptsAsKeys(false);
    return line;
  }, true);
  QuitGate::setWhenToolsEnd([&output](const std::string& message) {
    output.say(message + "\n");
    stopTerminalSession();
  });
  // A person saw each failure as it came; leaving is no failure.
  runSession(input, output, "", [](const std::string& line) { editor->remember(line); }, true);
  QuitGate::setWhenToolsEnd(nullptr);
  editor->restoreTerminal();
  return 0;
}
