#include "app/QuitGate.h"

#include <vector>

#include "app/KVQuillbark.h"
#include "core/KVPipelineManager.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "operations/KVPackageToolTask.h"

namespace {
enum class State { Open, Waiting, Leaving };
State gState = State::Open;
bool gLeftWhileToolsRan = false;
RunLoop::TimerId gWatch = 0;
std::function<void(const std::string&)> gWhenToolsEnd;

// How often a quit that waits looks at the tools again: a task's end and the repair's
// come from other threads, and a person waits on the answer.
constexpr double kLookAgain = 0.2;

void stopWatching() {
  if (gWatch) RunLoop::main().cancelTimer(gWatch);
  gWatch = 0;
}

void lookAtTheTools() {
  if (gState != State::Waiting || QuitGate::toolsWork()) return;
  stopWatching();
  gState = State::Leaving;
  KVLog("The package tools have ended: quitting");
  if (gWhenToolsEnd) gWhenToolsEnd(NSLocalizedString("The package tools have ended; quitting."));
}
}  // namespace

std::optional<std::string> QuitGate::toolsWork() {
  std::vector<std::string> works;
  for (const auto& task : KVPipelineManager::sharedManager().tasksArray())
    if (auto* tool = dynamic_cast<KVPackageToolTask*>(task.get())) works.push_back(tool->workDescription());
  if (KVQuillbark::sharedQuillbark().startupRepairRunning())
    works.push_back(NSLocalizedString("repairing half-installed packages"));
  if (works.empty()) return std::nullopt;
  std::string text;
  for (const auto& work : works) text += (text.empty() ? "" : "; ") + work;
  return text;
}

QuitGate::Answer QuitGate::ask(std::string* message, const std::string& again) {
  std::optional<std::string> work = gState == State::Leaving ? std::nullopt : toolsWork();
  if (!work) {
    gState = State::Leaving;
    stopWatching();
    if (message) message->clear();
    return Answer::Leave;
  }
  if (gState == State::Waiting) {
    gState = State::Leaving;
    gLeftWhileToolsRan = true;
    stopWatching();
    KVLog("Leaving while the package tools run (%s)", work->c_str());
    if (message)
      *message = NSLocalizedFormat("Leaving now: the package tools finish on their own (%@), and the next start "
                                   "waits for them.",
                                   {*work});
    return Answer::Leave;
  }
  gState = State::Waiting;
  KVLog("A quit waits for the package tools (%s)", work->c_str());
  if (message)
    *message = NSLocalizedFormat("The package tools are still running (%@); quitting when they end.", {*work}) + " " +
               again;
  if (!gWatch) gWatch = RunLoop::main().addTimer(kLookAgain, [] { lookAtTheTools(); }, kLookAgain);
  return Answer::Wait;
}

bool QuitGate::waiting() { return gState == State::Waiting; }
bool QuitGate::leaving() { return gState == State::Leaving; }
bool QuitGate::leftWhileToolsRan() { return gLeftWhileToolsRan; }

void QuitGate::setWhenToolsEnd(std::function<void(const std::string&)> whenToolsEnd) {
  gWhenToolsEnd = std::move(whenToolsEnd);
}
