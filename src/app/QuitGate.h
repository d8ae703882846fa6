#pragma once
// A quit while the package tools run is never silent. A person who quits (quit, Ctrl-D or
// Ctrl-C at the prompt, SIGTERM, closing the window) while APT or dpkg works for the
// application is told what still runs, and the application stays until the tools have
// ended and their outcome is read back; a second quit leaves at once, saying that the
// tools finish on their own and the next start waits for them. Main thread only.
#include <functional>
#include <optional>
#include <string>

class QuitGate {
 public:
  enum class Answer { Leave, Wait };

  // What the package tools do for the application now, in words ("installing Example
  // Tool"): the package tasks listed by the pipeline and the start-up repair. Nothing
  // when they rest.
  static std::optional<std::string> toolsWork();

  // A person asks to quit; `again` says how they ask once more ("Quit again to leave
  // now."). Wait while the tools work, the first time: `message` says so. Leave
  // otherwise, with `message` saying what goes on without the application, if anything.
  static Answer ask(std::string* message, const std::string& again);
  // A quit waits for the tools.
  static bool waiting();
  // The application leaves: asked with nothing to wait for, asked again, or the tools
  // waited for have ended.
  static bool leaving();
  // The person chose to leave while the tools worked.
  static bool leftWhileToolsRan();
  // Called (on the main thread) once the tools a quit waits for have ended, after which
  // leaving() holds; `message` says so.
  static void setWhenToolsEnd(std::function<void(const std::string& message)> whenToolsEnd);

  QuitGate() = delete;
};
