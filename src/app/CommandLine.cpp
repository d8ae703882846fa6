#include "app/CommandLine.h"

#include <filesystem>

namespace {
using Environment = std::function<std::optional<std::string>(const char*)>;

void say(std::string* error, const std::string& message) {
  if (error) *error = message;
}

// The folder made absolute against `currentFolder`, "." and ".." resolved by the text,
// without a trailing "/".
std::string absoluteFolder(const std::string& folder, const std::string& currentFolder) {
  std::filesystem::path path(folder);
  if (path.is_relative()) path = std::filesystem::path(currentFolder) / path;
  std::string text = path.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// A device root the package tools can be pointed at (their configuration quotes it),
// and that is not this computer's own system.
std::optional<std::string> deviceRootProblem(const std::string& root) {
  if (root == "/") return "the device root cannot be / (that is this computer's own system); give a folder of its own";
  if (root.find_first_of("\"\n\r") != std::string::npos)
    return "the device root \"" + root + "\" holds a double quote or a line break, which the package tools cannot take";
  std::error_code ec;
  auto status = std::filesystem::status(root, ec);
  if (std::filesystem::exists(status) && !std::filesystem::is_directory(status))
    return "the device root " + root + " exists and is not a folder";
  return std::nullopt;
}
}  // namespace

std::optional<std::string> CommandLine::defaultDeviceRoot(const Environment& environment, std::string* error) {
  // A relative XDG_DATA_HOME is to be ignored, as the base-directory convention says.
  if (auto xdg = environment("XDG_DATA_HOME"); xdg && !xdg->empty() && (*xdg)[0] == '/')
    return absoluteFolder(*xdg + "/quillbark/device", "/");
  auto home = environment("HOME");
  if (!home || home->empty()) {
    say(error, "HOME is not set, so there is no default device root; give one with --device-root DIR");
    return std::nullopt;
  }
  if ((*home)[0] != '/') {
    say(error, "HOME (" + *home + ") is not an absolute path, so there is no default device root; give one with --device-root DIR");
    return std::nullopt;
  }
  return absoluteFolder(*home + "/.local/share/quillbark/device", "/");
}

std::optional<CommandLine> CommandLine::parse(int argc, const char* const* argv, const Environment& environment,
                                              const std::string& currentFolder, std::string* error) {
  auto refuse = [error](const std::string& message) -> std::optional<CommandLine> {
    say(error, message);
    return std::nullopt;
  };
  CommandLine line;
  std::optional<std::string> given;
  for (int i = 0; i < argc; ++i) {
    std::string arg = argv[i];
    std::string value;
    if (arg == "--device-root") {
      if (i + 1 >= argc) return refuse("--device-root needs a folder: --device-root DIR");
      value = argv[++i];
      if (!value.empty() && value[0] == '-')
        return refuse("--device-root needs a folder, not the option " + value + " (write ./" + value +
                      " for a folder of that name)");
    } else if (arg.rfind("--device-root=", 0) == 0) {
      value = arg.substr(std::string("--device-root=").size());
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    } else if (!arg.empty() && arg[0] == '-') {
      return refuse("unknown option " + arg + " (the options are --device-root DIR and --help)");
    } else {
      return refuse("unexpected argument \"" + arg + "\" (a device root is given as --device-root DIR)");
    }
    if (value.empty()) return refuse("--device-root needs a folder, and it was given an empty one");
    if (given) return refuse("--device-root is given twice (" + *given + " and " + value + ")");
    given = value;
  }
  if (line.help) return line;
  if (given) {
    if ((*given)[0] != '/' && currentFolder.empty())
      return refuse("the current folder cannot be read, so the relative device root " + *given +
                    " cannot be made absolute; give an absolute one");
    line.deviceRoot = absoluteFolder(*given, currentFolder);
  } else {
    auto fallback = defaultDeviceRoot(environment, error);
    if (!fallback) return std::nullopt;
    line.deviceRoot = *fallback;
  }
  if (auto problem = deviceRootProblem(line.deviceRoot)) return refuse(*problem);
  return line;
}

std::string CommandLine::usage(const Environment& environment) {
  auto fallback = defaultDeviceRoot(environment, nullptr);
  return "Usage: quillbark [--device-root DIR]\n"
         "  --device-root DIR  the folder laid out like a device, made on first use; a relative\n"
         "                     DIR is taken from the current folder (default: " +
         (fallback ? *fallback : std::string("none, as HOME is not set")) +
         ")\n"
         "  --help             this text\n";
}
