#pragma once
// The application's command line: which device root to use. Everything is checked
// before anything is written, and every refusal says what is wrong.
#include <functional>
#include <optional>
#include <string>

struct CommandLine {
  std::string deviceRoot;  // absolute, without a trailing "/"
  // --system-version: the iOS version the device root emulates from now on ("12.4").
  std::optional<std::string> systemVersion;
  // --outside-store: the outside package store's web site for this run (http or https,
  // ending in "/"), in place of the built-in placeholder.
  std::optional<std::string> outsideStore;
  // --vendor-service: the address of the vendor's web service to talk to (the one the
  // tests play, run by a person), an http or https location without a path.
  std::optional<std::string> vendorService;
  // --window: the screen in a desktop window (the display's) in place of the prompt;
  // --terminal: the prompt (the default; it wins over --window).
  bool window = false;
  bool help = false;
  bool version = false;

  // Reads the arguments after the program's name. `environment` answers a variable's
  // value (HOME, XDG_DATA_HOME) or nothing; `currentFolder` is where a relative
  // device root is taken from. Answers nothing and sets `error` on a mistake.
  static std::optional<CommandLine> parse(int argc, const char* const* argv,
                                          const std::function<std::optional<std::string>(const char*)>& environment,
                                          const std::string& currentFolder, std::string* error);
  // The device root used without --device-root: $XDG_DATA_HOME/quillbark/device, else
  // ~/.local/share/quillbark/device. Nothing, with `error` set, when neither is known.
  static std::optional<std::string> defaultDeviceRoot(
      const std::function<std::optional<std::string>(const char*)>& environment, std::string* error);
  // Where the prompt's history is kept: $XDG_STATE_HOME/quillbark/history, else
  // ~/.local/state/quillbark/history; nothing without either.
  static std::optional<std::string> historyFile(
      const std::function<std::optional<std::string>(const char*)>& environment);
  // The options, and where to go next.
  static std::string usage(const std::function<std::optional<std::string>(const char*)>& environment);
};
