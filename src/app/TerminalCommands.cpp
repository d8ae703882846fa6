#include "app/TerminalCommands.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

#include "app/TerminalOpen.h"
#include "app/TerminalOutput.h"
#include "app/TerminalText.h"
#include "core/KVPipelineManager.h"
#include "foundation/Clock.h"
#include "foundation/Dispatch.h"
#include "foundation/RunLoop.h"
#include "foundation/URLSession.h"
#include "interface/ErrorViewController.h"
#include "operations/KVAPTManager.h"
#include "render/ViewRenderer.h"
#include "security/LAContext.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIInteraction.h"
#include "uikit/UIPasteboard.h"
#include "uikit/UIScreen.h"
#include "uikit/UIWindow.h"
#include "uikit/UITextField.h"

namespace TerminalCommands {
namespace {
enum class Argument { None, Optional, Required, Pair };
enum class Names { None, Verbs, Screen, Held, Directions, Scroll, Verbose, Shortcuts, Owner };

struct Verb {
  const char* name;
  std::vector<const char*> aliases;
  const char* usage;
  const char* summary;  // one line in the list
  const char* details;  // for "help VERB"
  const char* example;
  Argument argument;
  Names names;  // what completes its argument
};

const std::vector<Verb>& verbs() {
  static const std::vector<Verb> table = {
      {"screen", {"s"}, "screen [-v]", "print the screen",
       "Prints what is on screen: the title first, then the tabs, the navigation bar and the views.\n"
       "With -v it also names the class of each screen.",
       "screen -v", Argument::Optional, Names::Verbose},
      {"tap", {}, "tap TEXT|S.R|#N", "tap a button, bar button, row, alert button, segment or tab",
       "Taps what shows TEXT (the exact text first, then in any case, then a part of it), the row\n"
       "numbered S.R as the screen shows it (section.row), or the N-th thing that can be tapped,\n"
       "counting from 1. Tab completes the names on screen.",
       "tap OK", Argument::Required, Names::Screen},
      {"long", {}, "long TEXT|S.R [SECONDS]", "press and hold (1 second unless SECONDS is given)",
       "Presses what shows TEXT, or the row S.R, and holds it for SECONDS (1 unless given).",
       "long 0.1 2", Argument::Required, Names::Held},
      {"swipe", {}, "swipe S.R|TEXT ACTION, or swipe left|right|up|down", "a row's swipe action, or a swipe over the screen",
       "With a row and an action, runs the row's swipe action of that title (Delete, ...).\n"
       "With a direction, swipes over the screen; only what listens for that swipe answers it.",
       "swipe 0.0 Delete", Argument::Required, Names::Directions},
      {"menu", {}, "menu S.R|TEXT ACTION", "an action of a row's long-press menu (Copy, ...)",
       "Runs an action of the menu a row shows when held: the row by S.R or its text, the action\n"
       "by its title.",
       "menu 0.0 Copy", Argument::Pair, Names::Screen},
      {"toggle", {}, "toggle TEXT|S.R|#N", "flip a switch",
       "Flips the switch labelled TEXT, the one in row S.R, or the N-th switch, counting from 1.\n"
       "With one switch on screen, toggle alone flips it.",
       "toggle #1", Argument::Optional, Names::Screen},
      {"pick", {}, "pick CHOICE", "turn the picker to a choice", "Turns the screen's picker to the choice shown as CHOICE.",
       "pick Blue", Argument::Required, Names::None},
      {"type", {}, "type TEXT", "put TEXT in the field being edited (or the first field)",
       "Puts TEXT in the field being edited, or in the screen's first field, in place of what it\n"
       "held. clear empties the field.",
       "type hello", Argument::Required, Names::None},
      {"clear", {}, "clear", "empty the field being edited (or the first field)",
       "Empties the field being edited, or the screen's first field, as its clear button does.", "clear",
       Argument::None, Names::None},
      {"return", {}, "return", "the keyboard's return (or search) key",
       "Presses the keyboard's return key in the field being edited (search, in a search bar).", "return",
       Argument::None, Names::None},
      {"scroll", {}, "scroll down|up|left|right|top|bottom|S.R", "scroll the screen",
       "Scrolls the screen's list (or scroll view) a page down or up, to the top or the bottom,\n"
       "or to the row S.R; left and right move what scrolls sideways (a page when it pages).",
       "scroll bottom", Argument::Optional, Names::Scroll},
      {"refresh", {}, "refresh", "pull to refresh", "Pulls the screen's list down to refresh it, where it can.", "refresh",
       Argument::None, Names::None},
      {"back", {}, "back", "the navigation bar's back button", "Goes back one screen in the navigation stack.", "back",
       Argument::None, Names::None},
      {"close", {}, "close", "close the screen in front",
       "Closes the screen shown over the others: presses its Close, Done, Cancel, Dismiss or OK\n"
       "button, or the alert's cancel button; a sheet without such a button is pulled down.",
       "close", Argument::None, Names::None},
      {"tab", {}, "tab TITLE|N", "switch tab, by its title or its number counting from 1",
       "Switches to the tab titled TITLE, or to tab number N, counting from 1 as #N does.", "tab Manage",
       Argument::Required, Names::Screen},
      {"rotate", {}, "rotate", "turn the device", "Turns the device: the screen's width and height swap.", "rotate",
       Argument::None, Names::None},
      {"open", {}, "open URL [APP]", "open a link as if another application asked",
       "Opens URL as if the application APP had asked (Safari unless given). The application takes\n"
       "its own links and package files: quillbark://add/REPOSITORY, quillbark://url/SHARE-LINK,\n"
       "quillbark://show/IDENTIFIER, quillbark://developer/NAME and file:///path/name.deb.",
       "open quillbark://add/repo.example.org", Argument::Required, Names::None},
      {"action", {}, "action TITLE|N", "a home-screen quick action (Refresh Sources, Add Source)",
       "Chooses the application's home-screen quick action titled TITLE, or number N counting from 1,\n"
       "as a person pressing the icon would.",
       "action Refresh Sources", Argument::Required, Names::Shortcuts},
      {"paste", {}, "paste TEXT", "put TEXT on the pasteboard (as if copied elsewhere)",
       "Puts TEXT on the device's general pasteboard, where the manage tab's Add looks for source\n"
       "addresses.",
       "paste http://127.0.0.1:8080/nepeta/ http://127.0.0.1:8080/utm/", Argument::Required, Names::None},
      {"card", {}, "card TITLE | MESSAGE", "show an alert card (to try one)",
       "Shows the application's alert card with TITLE, MESSAGE and an OK button.", "card Disk full | There is no room left.",
       Argument::Required, Names::None},
      {"screenshot", {}, "screenshot FILE", "save the screen as a PNG picture",
       "Draws the screen as the device shows it (its size in points times its scale in pixels)\n"
       "and saves it in FILE as a PNG picture.",
       "screenshot /tmp/screen.png", Argument::Required, Names::None},
      {"owner", {}, "owner yes|no|none", "how the device owner answers when asked to authenticate",
       "Where the settings ask for the device owner's authentication (biometrics or passcode)\n"
       "before a change, the owner answers yes or no from now on; none (the default) is a\n"
       "device with nothing set up, which cannot ask.",
       "owner yes", Argument::Required, Names::Owner},
      {"wait", {}, "wait [SECONDS] [for TEXT|idle]", "let time pass, or until TEXT shows or all work ends",
       "Lets SECONDS pass (1 unless given, at most 3600) so that background work lands, then prints\n"
       "the screen. With for TEXT it ends as soon as the screen shows TEXT (as it prints it, in a\n"
       "line not marked disabled: a button that can be tapped); with idle, as soon as no task runs\n"
       "(refreshes, downloads, the package tools) and no request or other work is left in the\n"
       "background. Either fails when SECONDS (60 unless given) pass first. Ctrl-C stops the\n"
       "wait at once.",
       "wait for Queue | 1 Package", Argument::Optional, Names::None},
      {"help", {"?"}, "help [COMMAND]", "list the commands, or explain one", "Lists the commands, or explains COMMAND with an example.",
       "help tap", Argument::Optional, Names::Verbs},
      {"quit", {"exit"}, "quit", "leave (Ctrl-D, or Ctrl-C at an empty prompt, too)",
       "Leaves the application. Ctrl-D, and Ctrl-C at an empty prompt, leave too. While the package\n"
       "tools install or remove packages, it says so and leaves once they have ended; quit again to\n"
       "leave at once (they finish on their own, and the next start waits for them).",
       "quit", Argument::None,
       Names::None},
  };
  return table;
}

std::string lower(std::string s) {
  for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const Verb* findVerb(const std::string& word) {
  for (const Verb& v : verbs()) {
    if (word == v.name) return &v;
    for (const char* alias : v.aliases)
      if (word == alias) return &v;
  }
  return nullptr;
}

std::pair<std::string, std::string> split(const std::string& line) {
  auto space = line.find(' ');
  if (space == std::string::npos) return {line, {}};
  return {line.substr(0, space), TerminalText::trim(line.substr(space + 1))};
}

// Last word as a number of seconds, when it is one.
double trailingSeconds(std::string& arg, double fallback) {
  auto space = arg.rfind(' ');
  std::string last = space == std::string::npos ? arg : arg.substr(space + 1);
  char* end = nullptr;
  double value = std::strtod(last.c_str(), &end);
  if (!last.empty() && end && *end == 0 && space != std::string::npos) {
    arg = TerminalText::trim(arg.substr(0, space));
    return value;
  }
  return fallback;
}

bool isDirection(const std::string& word) {
  return word == "left" || word == "right" || word == "up" || word == "down";
}

// "ROW ACTION" where both may hold blanks: each split from the left whose first part
// names a row on screen is tried until one of its actions answers; a failed try changes
// nothing. A failure names the row the person meant: the longest that is on screen, or,
// when none is, all but the last word.
UIInteractionResult rowAndAction(const std::string& arg,
                                 UIInteractionResult (*verb)(const std::string&, const std::string&)) {
  std::optional<UIInteractionResult> failed;
  for (size_t space = arg.find(' '); space != std::string::npos; space = arg.find(' ', space + 1)) {
    std::string row = TerminalText::trim(arg.substr(0, space));
    if (!UIInteraction::hasRow(row)) continue;
    auto result = verb(row, TerminalText::trim(arg.substr(space + 1)));
    if (result) return result;
    failed = result;
  }
  if (failed) return *failed;
  size_t last = arg.rfind(' ');
  if (last == std::string::npos) return UIInteractionResult::failure("say a row and an action");
  return verb(TerminalText::trim(arg.substr(0, last)), TerminalText::trim(arg.substr(last + 1)));
}

void showCard(const std::string& arg) {
  auto bar = arg.find('|');
  std::string title = TerminalText::trim(bar == std::string::npos ? arg : arg.substr(0, bar));
  std::string message = bar == std::string::npos ? "" : TerminalText::trim(arg.substr(bar + 1));
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(title, message, 1, "OK", std::nullopt, std::string());
  card->presentFromTopPresenter();
}

// What a wait tells as it happens: each change of the floating card's lines, and each
// alert that comes to the front, whole.
class WaitWatch {
 public:
  WaitWatch() { look(nullptr); }
  void look(TerminalOutput* output) {
    std::string screen = UIInteraction::screen();
    std::string card;
    for (size_t start = 0; start < screen.size();) {
      size_t end = screen.find('\n', start);
      if (end == std::string::npos) end = screen.size();
      if (screen.compare(start, 10, "floating: ") == 0) card += screen.substr(start, end - start) + "\n";
      start = end + 1;
    }
    UIViewController* front = UIInteraction::front();
    bool isAlert = dynamic_cast<UIAlertController*>(front) || dynamic_cast<ErrorViewController*>(front);
    const void* alert = isAlert ? front : nullptr;
    if (output && alert && alert != alert_) output->screen(screen);
    else if (output && !card.empty() && card != card_) output->screen(card);
    card_ = std::move(card);
    alert_ = alert;
  }

 private:
  std::string card_;
  const void* alert_ = nullptr;
};

// Whether the screen shows `text` in a line not marked disabled: what a person waits
// to read, or a button they wait to be able to tap.
bool shows(const std::string& screen, const std::string& text) {
  for (size_t at = screen.find(text); at != std::string::npos; at = screen.find(text, at + 1)) {
    size_t start = screen.rfind('\n', at);
    start = start == std::string::npos ? 0 : start + 1;
    size_t end = screen.find('\n', at);
    if (screen.substr(start, end == std::string::npos ? std::string::npos : end - start).find("(disabled") ==
        std::string::npos)
      return true;
  }
  return false;
}

// What a wait asks for: time to pass, or, before a ceiling, the screen to show a text or
// the work in the background to end.
struct WaitRequest {
  double seconds = 1.0;
  std::string text;
  bool idle = false;
  bool conditional() const { return idle || !text.empty(); }
};

// "[SECONDS] [for TEXT|idle]"; nothing when it is neither.
std::optional<WaitRequest> waitRequest(const std::string& arg) {
  WaitRequest request;
  std::string rest = arg;
  auto [first, after] = split(arg);
  if (first != "for" && first != "idle") {
    char* end = nullptr;
    double seconds = std::strtod(first.c_str(), &end);
    if (first.empty()) return request;
    if (*end != 0 || seconds < 0 || seconds > 3600) return std::nullopt;
    request.seconds = seconds;
    rest = after;
    if (rest.empty()) return request;
  } else {
    request.seconds = 60;
  }
  if (rest == "idle") {
    request.idle = true;
    return request;
  }
  auto [word, text] = split(rest);
  if (word != "for" || text.empty()) return std::nullopt;
  request.text = text;
  return request;
}

// Whether nothing is left to do in the background: no block on the global queues, no
// request on the network, none posted to the main loop that could start more, no task
// in the pipeline and the package tools free. The queues are looked at before and after
// the main loop's blocks run, so that work handed from one to the other between two
// looks is seen.
bool idle() {
  auto quiet = [] { return DispatchQueue::globalQueuesIdle() && URLSession::tasksInFlight() == 0; };
  if (!quiet()) return false;
  RunLoop::main().runUntilIdle();
  return quiet() && KVPipelineManager::sharedManager().tasksArray().empty() && !KVAPTManager::running();
}

// Lets time pass on the main loop until it is up, the screen shows what is waited for,
// or the wait is interrupted, telling what changes on the way.
UIInteractionResult wait(const WaitRequest& request, const std::atomic<bool>& interrupted, TerminalOutput& output) {
  auto reached = [&] {
    if (request.idle) return idle();
    return !request.text.empty() && shows(UIInteraction::screen(), request.text);
  };
  auto missed = [&] {
    std::string what = request.idle ? "the work in the background did not end"
                                     : "\"" + TerminalText::echo(request.text, 60) + "\" did not show";
    return UIInteractionResult::failure(what + " within " + TerminalText::seconds(request.seconds));
  };
  if (Clock::isManual()) {
    for (double passed = 0; !reached(); passed += 0.1) {
      if (passed >= request.seconds) return request.conditional() ? missed() : UIInteractionResult::success();
      UIInteraction::advance(std::min(0.1, request.seconds - passed));
    }
    return UIInteractionResult::success();
  }
  const double until = Clock::now() + request.seconds;
  bool found = reached();
  auto done = [&] { return found || interrupted.load() || Clock::now() >= until; };
  WaitWatch watch;
  while (!done()) {
    RunLoop::main().runUntil(done, std::min(0.2, std::max(0.0, until - Clock::now())) + 0.01);
    watch.look(&output);
    found = reached();
  }
  if (found) return UIInteractionResult::success();
  if (interrupted) return UIInteractionResult::failure("the wait was stopped (Ctrl-C)");
  return request.conditional() ? missed() : UIInteractionResult::success();
}

// The quick action by its title (in any case) or its number.
UIInteractionResult shortcut(const std::string& arg) {
  UIApplication& application = UIApplication::sharedApplication();
  const auto& items = application.shortcutItems();
  char* end = nullptr;
  long number = std::strtol(arg.c_str(), &end, 10);
  for (size_t i = 0; i < items.size(); ++i) {
    bool chosen = (end && *end == 0 && number == long(i + 1)) || lower(items[i].localizedTitle) == lower(arg);
    if (!chosen) continue;
    auto done = application.performShortcutItemByUser(items[i].type);
    if (done && !*done) return UIInteractionResult::failure("the application did not take the quick action");
    return UIInteractionResult::success();
  }
  std::string titles;
  for (const auto& item : items) titles += (titles.empty() ? "" : ", ") + item.localizedTitle;
  return UIInteractionResult::failure("no quick action \"" + arg + "\" (there are: " + titles + ")");
}

UIInteractionResult screenshot(const std::string& path, TerminalOutput& output) {
  UIWindow* window = UIInteraction::window();
  if (!window) return UIInteractionResult::failure("nothing is on screen");
  double scale = UIScreen::mainScreen().scale();
  // Pictures for pages (the gallery) may be asked for at fewer pixels a point.
  if (const char* asked = std::getenv("QB_SCREENSHOT_SCALE"); asked && std::atof(asked) > 0) scale = std::atof(asked);
  std::optional<std::string> failed;
  {
    // Drawn as the window shows it; the screen's text after it reads as before.
    ViewRenderer::Watched watched(false);
    // Where no view paints, the screen shows the system's background.
    failed = ViewRenderer::writePNG(*window, scale, path, UIColor::systemBackgroundColor());
  }
  if (failed) return UIInteractionResult::failure("could not save " + TerminalText::echo(path, 80) + ": " + *failed);
  CGSize size = window->frame().size;
  output.say("saved " + path + " (" + std::to_string(long(std::lround(size.width * scale))) + " x " +
             std::to_string(long(std::lround(size.height * scale))) + " pixels)\n");
  return UIInteractionResult::success();
}

UIInteractionResult run(const Verb& verb, std::string arg, const std::atomic<bool>& interrupted, TerminalOutput& output) {
  std::string name = verb.name;
  if (name == "tap") return UIInteraction::tap(arg);
  if (name == "long") {
    double seconds = trailingSeconds(arg, 1.0);
    return UIInteraction::longPress(arg, seconds);
  }
  if (name == "swipe") return isDirection(arg) ? UIInteraction::swipe(arg) : rowAndAction(arg, UIInteraction::swipeRow);
  if (name == "menu") return rowAndAction(arg, UIInteraction::menuRow);
  if (name == "toggle") return UIInteraction::toggle(arg);
  if (name == "pick") return UIInteraction::pick(arg);
  if (name == "type") {
    // What the field held is replaced, as a person who selects it all and types expects.
    UIInteractionResult cleared = UIInteraction::clear();
    return cleared ? UIInteraction::type(arg) : cleared;
  }
  if (name == "clear") return UIInteraction::clear();
  if (name == "return") return UIInteraction::submit();
  if (name == "scroll") return UIInteraction::scroll(arg);
  if (name == "refresh") return UIInteraction::pullToRefresh();
  if (name == "back") return UIInteraction::back();
  if (name == "close") return UIInteraction::close();
  if (name == "tab") return UIInteraction::tab(arg);
  if (name == "rotate") return UIInteraction::rotate();
  if (name == "open") {
    auto [url, app] = split(arg);
    return TerminalOpen::open(url, app.empty() ? "com.apple.mobilesafari" : app);
  }
  if (name == "action") return shortcut(arg);
  if (name == "paste") {
    UIPasteboard::generalPasteboard().setString(arg);
    return UIInteractionResult::success();
  }
  if (name == "card") {
    showCard(arg);
    return UIInteractionResult::success();
  }
  if (name == "screenshot") return screenshot(arg, output);
  if (name == "owner") {
    if (arg != "yes" && arg != "no" && arg != "none")
      return UIInteractionResult::failure("the owner answers yes, no or none, not \"" + arg + "\"");
    LAContext::setOwnerAnswer(arg == "none" ? std::nullopt : std::optional<bool>(arg == "yes"));
    return UIInteractionResult::success();
  }
  if (name == "wait") return wait(waitRequest(arg).value_or(WaitRequest{}), interrupted, output);
  return UIInteractionResult::success();  // screen
}

bool needsMore(const Verb& verb, const std::string& arg) {
  if (verb.argument == Argument::Required && arg.empty()) return true;
  bool pair = verb.argument == Argument::Pair || (std::string(verb.name) == "swipe" && !isDirection(arg));
  return pair && arg.find(' ') == std::string::npos;
}
}  // namespace

std::string helpText() {
  std::string out = "commands:\n";
  for (const Verb& v : verbs()) {
    std::string usage = v.usage;
    const size_t column = 26;
    out += "  " + usage + (usage.size() < column ? std::string(column - usage.size(), ' ') : "\n" + std::string(column + 2, ' ')) +
           v.summary + "\n";
  }
  out += "aliases:";
  for (const Verb& v : verbs())
    for (const char* alias : v.aliases) out += std::string(" ") + alias + " = " + v.name + ",";
  out.back() = '\n';
  out += "#N, tab N and toggle #N count from 1; rows are S.R (section.row) as the screen numbers them.\n"
         "help COMMAND explains one command; Tab completes commands and the names on screen;\n"
         "Up and Down recall earlier lines, kept from one session to the next.\n";
  return out;
}

std::string helpText(const std::string& name) {
  const Verb* v = findVerb(name);
  if (!v) return "! no command \"" + TerminalText::echo(name, 40) + "\" (help lists them)\n";
  std::string out = std::string("usage: ") + v->usage + "\n" + v->details + "\n";
  if (!v->aliases.empty()) {
    out += "also:";
    for (const char* alias : v->aliases) out += std::string(" ") + alias;
    out += "\n";
  }
  return out + "example: " + v->example + "\n";
}

bool execute(const std::string& line, TerminalOutput& output, const std::atomic<bool>& interrupted) {
  auto [word, arg] = split(line);
  const Verb* verb = findVerb(word);
  if (!verb) {
    output.error("unknown command \"" + TerminalText::echo(word, 40) + "\" (try help)");
    return true;
  }
  std::string name = verb->name;
  if (name == "quit") return false;
  if (name == "help") {
    if (arg.empty() || findVerb(arg)) output.say(arg.empty() ? helpText() : helpText(arg));
    else output.error("no command \"" + TerminalText::echo(arg, 40) + "\" (help lists them)");
    return true;
  }
  if (needsMore(*verb, arg)) {
    output.error(std::string("usage: ") + verb->usage + " (help " + name + " explains it)",
                 name == "tap" ? UIInteraction::numberedTappables() : std::string());
    return true;
  }
  if (verb->argument == Argument::None && !arg.empty()) {
    output.error(name + " takes nothing after it: " + verb->usage);
    return true;
  }
  if (name == "wait" && !waitRequest(arg)) {
    output.error("usage: wait [SECONDS] [for TEXT|idle] (SECONDS a number from 0 to 3600)");
    return true;
  }
  bool verbose = false;
  if (name == "screen") {
    if (!arg.empty() && arg != "-v") {
      output.error("usage: screen [-v]");
      return true;
    }
    verbose = arg == "-v";
  }
  if (name == "wait") {
    WaitRequest request = *waitRequest(arg);
    if (request.idle)
      output.say("(waiting for the work in the background to end, at most " + TerminalText::seconds(request.seconds) +
                 "; Ctrl-C stops the wait)\n");
    else if (!request.text.empty())
      output.say("(waiting for \"" + TerminalText::echo(request.text, 60) + "\", at most " +
                 TerminalText::seconds(request.seconds) + "; Ctrl-C stops the wait)\n");
    else if (request.seconds >= 3)
      output.say("(waiting " + TerminalText::seconds(request.seconds) + "; Ctrl-C stops the wait)\n");
  }
  UIInteractionResult result = run(*verb, arg, interrupted, output);
  UIInteraction::runUntilIdle();
  if (!result.ok) output.error(result.message);
  // An interrupted wait still shows where things stand.
  if ((result.ok && name != "screenshot") || name == "wait") output.screen(UIInteraction::screen(verbose));
  return true;
}

bool keptInHistory(const std::string& line) {
  auto [word, arg] = split(line);
  const Verb* verb = findVerb(word);
  if (!verb) return true;
  std::string name = verb->name;
  // Up and Enter must not end the next session.
  if (name == "quit") return false;
  auto* field = name == "type" ? dynamic_cast<UITextField*>(UIInteraction::typingTarget()) : nullptr;
  return !(field && field->isSecureTextEntry());
}

Completion complete(const std::string& beforeCursor) {
  Completion completion;
  auto space = beforeCursor.find(' ');
  auto matches = [](const std::string& candidate, const std::string& typed) {
    return lower(candidate).rfind(lower(typed), 0) == 0;
  };
  if (space == std::string::npos) {
    completion.isVerb = true;
    for (const Verb& v : verbs()) {
      if (matches(v.name, beforeCursor)) completion.candidates.push_back(v.name);
      for (const char* alias : v.aliases)
        if (std::isalpha(static_cast<unsigned char>(alias[0])) && alias[1] && matches(alias, beforeCursor))
          completion.candidates.push_back(alias);
    }
    return completion;
  }
  const Verb* verb = findVerb(beforeCursor.substr(0, space));
  if (!verb) return completion;
  completion.replaceFrom = beforeCursor.find_first_not_of(' ', space);
  if (completion.replaceFrom == std::string::npos) completion.replaceFrom = beforeCursor.size();
  std::string typed = beforeCursor.substr(completion.replaceFrom);
  std::vector<std::string> names, onScreen;
  switch (verb->names) {
    case Names::None: break;
    case Names::Verbose: names = {"-v"}; break;
    case Names::Verbs:
      for (const Verb& v : verbs()) names.push_back(v.name);
      break;
    case Names::Scroll: names = {"down", "up", "left", "right", "top", "bottom"}; break;
    case Names::Owner: names = {"yes", "no", "none"}; break;
    case Names::Held: onScreen = UIInteraction::pressableTexts(); break;
    case Names::Shortcuts:
      for (const auto& item : UIApplication::sharedApplication().shortcutItems()) names.push_back(item.localizedTitle);
      break;
    case Names::Directions: names = {"left", "right", "up", "down"}; [[fallthrough]];
    case Names::Screen: onScreen = UIInteraction::tappableTexts(); break;
  }
  for (auto& text : onScreen)
    if (!text.empty() && std::find(names.begin(), names.end(), text) == names.end()) names.push_back(text);
  for (auto& n : names)
    if (matches(n, typed)) completion.candidates.push_back(n);
  return completion;
}
}  // namespace TerminalCommands
