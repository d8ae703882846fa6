#include "app/CommandLine.h"

#include <filesystem>
#include <regex>

#include "app/DeviceRootLock.h"
#include "core/KVLogFile.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/URL.h"
#include "system/DeviceRoot.h"

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

// Whether the folder is a device root made before: the builder's device facts, or the
// lock of an application that began to make it.
bool madeAsDeviceRoot(const std::string& root) {
  std::error_code ec;
  return std::filesystem::exists(root + DeviceRoot::kDeviceFactsFile, ec) ||
         std::filesystem::exists(root + DeviceRoot::kApplicationSupport + "/" + DeviceRootLock::kFileName, ec);
}

// "13", "12.4", "14.4.1": what a device's system version reads like.
bool isSystemVersion(const std::string& text) {
  static const std::regex kVersion("[0-9]{1,3}(\\.[0-9]{1,3}){0,2}");
  return std::regex_match(text, kVersion);
}

// A device root the package tools can be pointed at (their configuration quotes it),
// that is not this computer's own system, and that fills no folder of other things
// with a device's folders.
std::optional<std::string> deviceRootProblem(const std::string& root) {
  if (root == "/") return "the device root cannot be / (that is this computer's own system); give a folder of its own";
  if (root.find_first_of("\"\n\r") != std::string::npos)
    return "the device root \"" + root + "\" holds a double quote or a line break, which the package tools cannot take";
  std::error_code ec;
  auto status = std::filesystem::status(root, ec);
  if (!std::filesystem::exists(status)) return std::nullopt;
  if (!std::filesystem::is_directory(status)) return "the device root " + root + " exists and is not a folder";
  std::filesystem::directory_iterator entries(root, ec);
  if (ec) return "the device root " + root + " cannot be read: " + ec.message();
  if (entries != std::filesystem::directory_iterator() && !madeAsDeviceRoot(root))
    return "the folder " + root + " holds other things and is not a device root; give a new or empty folder " +
           "(it is made and laid out like a device), or one used as a device root before";
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
  bool terminal = false;
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
    } else if (arg == "--system-version" || arg.rfind("--system-version=", 0) == 0) {
      std::string version;
      if (arg == "--system-version") {
        if (i + 1 >= argc) return refuse("--system-version needs a version: --system-version 12.4");
        version = argv[++i];
      } else {
        version = arg.substr(std::string("--system-version=").size());
      }
      if (!isSystemVersion(version))
        return refuse("--system-version takes a version such as 12.4 or 13.0, not \"" + version + "\"");
      line.systemVersion = version;
      continue;
    } else if (arg == "--outside-store" || arg.rfind("--outside-store=", 0) == 0) {
      std::string address;
      if (arg == "--outside-store") {
        if (i + 1 >= argc) return refuse("--outside-store needs an address: --outside-store http://127.0.0.1:8090/store/");
        address = argv[++i];
      } else {
        address = arg.substr(std::string("--outside-store=").size());
      }
      auto url = URL::fromString(address);
      if (!url || !url->isHTTP() || url->host().empty())
        return refuse("--outside-store takes an http or https address such as http://127.0.0.1:8090/store/, not \"" +
                      address + "\"");
      if (address.back() != '/') address += '/';
      line.outsideStore = address;
      continue;
    } else if (arg == "--vendor-service" || arg.rfind("--vendor-service=", 0) == 0) {
      std::string address;
      if (arg == "--vendor-service") {
        if (i + 1 >= argc) return refuse("--vendor-service needs an address: --vendor-service http://127.0.0.1:8081");
        address = argv[++i];
      } else {
        address = arg.substr(std::string("--vendor-service=").size());
      }
      auto url = URL::fromString(address);
      if (!url || !url->isHTTP() || url->host().empty() ||
          (url->percentEncodedPath() != "" && url->percentEncodedPath() != "/") || url->query())
        return refuse("--vendor-service takes an http or https address such as http://127.0.0.1:8081, not \"" +
                      address + "\"");
      line.vendorService = address;
      continue;
    } else if (arg == "--window" || arg == "--terminal") {
      terminal = terminal || arg == "--terminal";
      line.window = !terminal;
      continue;
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
      continue;
    } else if (arg == "--version") {
      line.version = true;
      continue;
    } else if (!arg.empty() && arg[0] == '-') {
      return refuse("unknown option " + arg +
                    " (the options are --device-root DIR, --system-version VERSION, --outside-store URL, "
                    "--vendor-service URL, --window, --terminal, --version and --help)");
    } else {
      return refuse("unexpected argument \"" + arg + "\" (a device root is given as --device-root DIR)");
    }
    if (value.empty()) return refuse("--device-root needs a folder, and it was given an empty one");
    if (given) return refuse("--device-root is given twice (" + *given + " and " + value + ")");
    given = value;
  }
  if (line.help || line.version) return line;
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

std::optional<std::string> CommandLine::historyFile(const Environment& environment) {
  if (auto xdg = environment("XDG_STATE_HOME"); xdg && !xdg->empty() && (*xdg)[0] == '/')
    return absoluteFolder(*xdg + "/quillbark/history", "/");
  auto home = environment("HOME");
  if (!home || home->empty() || (*home)[0] != '/') return std::nullopt;
  return absoluteFolder(*home + "/.local/state/quillbark/history", "/");
}

std::string CommandLine::usage(const Environment& environment) {
  auto fallback = defaultDeviceRoot(environment, nullptr);
  auto history = historyFile(environment);
  return "Usage: quillbark [--device-root DIR] [--system-version VERSION] [--outside-store URL]\n"
         "                [--vendor-service URL] [--window | --terminal] [--version] [--help]\n"
         "  --device-root DIR  the folder laid out like a device: a new or empty folder is made\n"
         "                     into one, one made before is used again; a relative DIR is taken\n"
         "                     from the current folder (default: " +
         (fallback ? *fallback : std::string("none, as HOME is not set")) +
         ")\n"
         "  --system-version VERSION\n"
         "                     the iOS version the device emulates (12.4, 13.0, ...), kept in the\n"
         "                     device root for later starts (a new one begins at 14.4); before 13\n"
         "                     the first run offers the palette chooser before the sign-in\n"
         "  --outside-store URL\n"
         "                     the outside package store's web site for this run (the README\n"
         "                     plays one on 127.0.0.1 with scripts/play-stores)\n"
         "  --vendor-service URL\n"
         "                     the vendor's web service to talk to (accounts, ratings and reviews,\n"
         "                     developers, wishlists), such as the one scripts/play-vendor-service plays\n"
         "  --window           show the screen in a window on the display (a click taps, the wheel\n"
         "                     scrolls, keys type, Escape goes back, closing the window quits)\n"
         "  --terminal         the prompt, also where a display is (the default)\n"
         "  --version          the version\n"
         "  --help             this text\n"
         "\n"
         "At the prompt, help lists the commands and help COMMAND explains one; quit leaves.\n"
         "On a new device root the first run walks you through a welcome, the account sign-in\n"
         "(Skip goes on without one) and the import of other package managers' sources; no\n"
         "source refreshes before it is done.\n"
         "Where things are kept (DIR is the device root):\n"
         "  log          DIR" + DeviceRoot::kLogFolder + "/" + KVLogFile::kFileName + "\n"
         "  preferences  DIR" + DeviceRoot::kApplicationSupport + "/" + QuillbarkPersistentPreferences::kFileName + "\n"
         "  history      " + (history ? *history : std::string("not kept, as HOME is not set")) + "\n";
}
