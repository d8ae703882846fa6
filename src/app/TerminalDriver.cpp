#include "app/TerminalDriver.h"

#include <ext/stdio_filebuf.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <istream>
#include <mutex>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>

#include "foundation/RunLoop.h"
#include "interface/ErrorViewController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIInteraction.h"

namespace {
std::atomic<bool> gStop{false};

const char* kHelp =
    "commands:\n"
    "  screen                 print the screen\n"
    "  tap TEXT|S.R|#N        tap a button, bar button, row (section.row), alert button or tab\n"
    "  long TEXT|S.R [SECONDS]  long press (default 1 s)\n"
    "  swipe S.R|TEXT ACTION  a row's swipe action\n"
    "  swipe left|right|up|down  swipe over the screen\n"
    "  menu S.R|TEXT ACTION   an action of a row's menu (Copy, ...)\n"
    "  toggle TEXT|S.R|#N     flip a switch\n"
    "  pick CHOICE            turn the picker to a choice\n"
    "  type TEXT              type into the field being edited (or the first field)\n"
    "  return                 the return key\n"
    "  scroll down|up|top|bottom|S.R\n"
    "  refresh                pull to refresh\n"
    "  back                   the back button\n"
    "  close                  close the screen in front (Close, Done, Cancel or a swipe down)\n"
    "  tab TITLE|N            switch tab (N counts from 0)\n"
    "  rotate                 turn the device\n"
    "  open URL [APP]         open a URL as if another application (APP) asked\n"
    "  card TITLE | MESSAGE   show an alert card (to try one)\n"
    "  wait [SECONDS]         let time pass (default 1)\n"
    "  help, quit (or Ctrl-D, Ctrl-C)\n";

// The verbs that need something to act on, with how to say it.
const char* usageOf(const std::string& verb) {
  static const std::pair<const char*, const char*> usages[] = {
      {"tap", "tap TEXT|S.R|#N"},       {"long", "long TEXT|S.R [SECONDS]"}, {"swipe", "swipe S.R|TEXT ACTION, or swipe left|right|up|down"},
      {"menu", "menu S.R|TEXT ACTION"}, {"pick", "pick CHOICE"},              {"type", "type TEXT"},
      {"tab", "tab TITLE|N"},           {"open", "open URL [APP]"},           {"card", "card TITLE | MESSAGE"},
  };
  for (auto& [name, usage] : usages)
    if (verb == name) return usage;
  return nullptr;
}

std::string trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

std::pair<std::string, std::string> split(const std::string& line) {
  auto space = line.find(' ');
  if (space == std::string::npos) return {line, {}};
  return {line.substr(0, space), trim(line.substr(space + 1))};
}

// Last word as a number of seconds, when it is one.
double trailingSeconds(std::string& arg, double fallback) {
  auto space = arg.rfind(' ');
  std::string last = space == std::string::npos ? arg : arg.substr(space + 1);
  char* end = nullptr;
  double value = std::strtod(last.c_str(), &end);
  if (!last.empty() && end && *end == 0 && space != std::string::npos) {
    arg = trim(arg.substr(0, space));
    return value;
  }
  return fallback;
}

bool isDirection(const std::string& word) {
  return word == "left" || word == "right" || word == "up" || word == "down";
}

// "ROW ACTION" where both may hold blanks: each split from the left is tried until one
// names a row and one of its actions; a failed try changes nothing.
UIInteractionResult rowAndAction(const std::string& arg,
                                 UIInteractionResult (*verb)(const std::string&, const std::string&)) {
  UIInteractionResult first = UIInteractionResult::failure("say a row and an action");
  bool tried = false;
  for (size_t space = arg.find(' '); space != std::string::npos; space = arg.find(' ', space + 1)) {
    auto result = verb(trim(arg.substr(0, space)), trim(arg.substr(space + 1)));
    if (result) return result;
    if (!tried) first = result;
    tried = true;
  }
  return first;
}

void showCard(const std::string& arg) {
  auto bar = arg.find('|');
  std::string title = trim(bar == std::string::npos ? arg : arg.substr(0, bar));
  std::string message = bar == std::string::npos ? "" : trim(arg.substr(bar + 1));
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(title, message, 1, "OK", std::nullopt, std::string());
  card->presentFromTopPresenter();
}

// Answers false when the session should end.
bool execute(const std::string& line, std::ostream& out) {
  auto [verb, arg] = split(line);
  UIInteractionResult result = UIInteractionResult::success();
  bool printScreen = true;
  if (verb == "quit" || verb == "exit") return false;
  const char* usage = usageOf(verb);
  bool pairVerb = (verb == "swipe" && !isDirection(arg)) || verb == "menu";
  if (usage && (arg.empty() || (pairVerb && arg.find(' ') == std::string::npos))) {
    out << "! usage: " << usage << "\n";
    return true;
  }
  if (verb == "help" || verb == "?") {
    out << kHelp;
    printScreen = false;
  } else if (verb == "screen" || verb == "s") {
  } else if (verb == "tap") {
    result = UIInteraction::tap(arg);
  } else if (verb == "long") {
    double seconds = trailingSeconds(arg, 1.0);
    result = UIInteraction::longPress(arg, seconds);
  } else if (verb == "swipe") {
    result = isDirection(arg) ? UIInteraction::swipe(arg) : rowAndAction(arg, UIInteraction::swipeRow);
  } else if (verb == "menu") {
    result = rowAndAction(arg, UIInteraction::menuRow);
  } else if (verb == "toggle") {
    result = UIInteraction::toggle(arg);
  } else if (verb == "pick") {
    result = UIInteraction::pick(arg);
  } else if (verb == "type") {
    result = UIInteraction::type(arg);
  } else if (verb == "return") {
    result = UIInteraction::submit();
  } else if (verb == "scroll") {
    result = UIInteraction::scroll(arg);
  } else if (verb == "refresh") {
    result = UIInteraction::pullToRefresh();
  } else if (verb == "back") {
    result = UIInteraction::back();
  } else if (verb == "close") {
    result = UIInteraction::close();
  } else if (verb == "tab") {
    result = UIInteraction::tab(arg);
  } else if (verb == "rotate") {
    result = UIInteraction::rotate();
  } else if (verb == "open") {
    auto [url, app] = split(arg);
    if (!UIApplication::sharedApplication().deliverOpenURL(url, app.empty() ? "com.apple.mobilesafari" : app))
      result = UIInteractionResult::failure("the application did not take the URL");
  } else if (verb == "card") {
    showCard(arg);
  } else if (verb == "wait") {
    char* end = nullptr;
    double seconds = arg.empty() ? 1.0 : std::strtod(arg.c_str(), &end);
    if (!arg.empty() && (*end != 0 || !(seconds >= 0) || seconds > 3600)) {
      out << "! usage: wait [SECONDS] (a number from 0 to 3600)\n";
      return true;
    }
    UIInteraction::advance(seconds);
  } else {
    result = UIInteractionResult::failure("unknown command \"" + verb + "\" (try help)");
    printScreen = false;
  }
  UIInteraction::runUntilIdle();
  if (!result.ok) out << "! " << result.message << "\n";
  if (printScreen && result.ok) out << UIInteraction::screen();
  return true;
}
}  // namespace

void stopTerminalSession() {
  gStop = true;
  RunLoop::main().post([] {});
}

namespace {
// Shared with the reader thread, which may outlive the session while blocked on a read.
struct Input {
  std::mutex mutex;
  std::deque<std::string> lines;
  bool ended = false;
};
}  // namespace

int runTerminalSession(std::istream& in, std::ostream& out) {
  gStop = false;
  auto input = std::make_shared<Input>();
  // The reader thread only queues lines; every command runs on the main thread.
  std::thread([input, &in] {
    std::string line;
    while (std::getline(in, line)) {
      {
        std::lock_guard<std::mutex> lock(input->mutex);
        input->lines.push_back(line);
      }
      RunLoop::main().post([] {});
    }
    std::lock_guard<std::mutex> lock(input->mutex);
    input->ended = true;
    RunLoop::main().post([] {});
  }).detach();  // a blocked read must not hold the process at exit

  UIInteraction::runUntilIdle();
  out << UIInteraction::screen() << "(type help for the commands, quit to leave)\n> " << std::flush;
  while (!gStop) {
    auto ready = [&] {
      std::lock_guard<std::mutex> lock(input->mutex);
      return !input->lines.empty() || input->ended || gStop;
    };
    if (!RunLoop::main().runUntil(ready, 3600)) continue;
    std::string line;
    {
      std::lock_guard<std::mutex> lock(input->mutex);
      if (input->lines.empty()) {
        if (input->ended) break;
        continue;
      }
      line = trim(input->lines.front());
      input->lines.pop_front();
    }
    if (gStop) break;
    if (!line.empty() && !execute(line, out)) break;
    out << "> " << std::flush;
  }
  out << "\n" << std::flush;
  return 0;
}

int runTerminalSession(std::istream& in, int outputDescriptor) {
  __gnu_cxx::stdio_filebuf<char> buffer(outputDescriptor, std::ios::out);
  std::ostream out(&buffer);
  return runTerminalSession(in, out);
}
