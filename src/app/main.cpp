// The process entry: prepares the device root and the log file, then runs the main loop
// until asked to stop (SIGINT or SIGTERM).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>

#include "app/ApplicationEnvironment.h"
#include "app/QuillbarkRoot.h"
#include "app/TerminalDriver.h"
#include "core/KVLogFile.h"
#include "core/NSBundleLocalizedBundle.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "interface/ErrorViewController.h"
#include "interface/KVPalettedViewController.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIStoryboard.h"
#include "uikit/UITabBarController.h"
#include "uikit/UIWindow.h"

namespace {
std::string defaultDeviceRoot() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && *xdg) base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) base = std::string(home) + "/.local/share";
  else base = "/tmp";
  return base + "/quillbark/device";
}

void usage() {
  std::fprintf(stdout,
               "Usage: quillbark [--device-root DIR]\n"
               "  --device-root DIR  the folder laid out like a device (default: %s)\n",
               defaultDeviceRoot().c_str());
}

// Stops the main loop on SIGINT or SIGTERM. The signals are blocked in every thread and
// taken here with sigwait, so no handler runs in the middle of other work.
void startSignalWatcher(sigset_t set) {
  std::thread([set] {
    int sig = 0;
    sigwait(&set, &sig);
    RunLoop::main().post([] { RunLoop::main().stop(); });
    stopTerminalSession();
  }).detach();
}
}  // namespace

int main(int argc, char** argv) {
  std::string root = defaultDeviceRoot();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--device-root" && i + 1 < argc) {
      root = argv[++i];
    } else if (arg.rfind("--device-root=", 0) == 0) {
      root = arg.substr(std::strlen("--device-root="));
    } else if (arg == "--help" || arg == "-h") {
      usage();
      return 0;
    } else {
      std::fprintf(stderr, "quillbark: unknown argument %s\n", arg.c_str());
      usage();
      return 2;
    }
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::string error;
  if (!DeviceRootBuilder::build(root, DeviceFacts{}, &error)) {
    std::fprintf(stderr, "quillbark: cannot prepare the device folder %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  DeviceRoot::setRoot(root);

  // Standard output goes to the log file from here on; the screen keeps the terminal.
  int screenDescriptor = dup(STDOUT_FILENO);
  std::string logPath = KVLogFile::prepareLogFile(DeviceRoot::devicePath(DeviceRoot::kLogFolder));
  KVLogFile::installUncaughtExceptionHandler();
  qblog::logPlain("- Quillbark 5 is up and running");

  NSBundleLocalizedBundle::applyStoredLanguage();
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();

  if (ErrorRef error = QuillbarkRoot::start(applicationEnvironment())) {
    std::fprintf(stderr, "quillbark: cannot start: %s\n", error->localizedDescription().c_str());
    return 1;
  }
  startSignalWatcher(signals);
  // The interface, until the application delegate builds it: the tab bar of "Main" when
  // it is registered, else the five tabs as empty screens.
  auto window = std::make_shared<UIWindow>();
  auto main = UIStoryboard::storyboardWithName("Main");
  std::shared_ptr<UIViewController> rootScreen = main ? main->instantiateViewControllerWithIdentifier("TabBarVC") : nullptr;
  if (!rootScreen) {
    auto tabs = std::make_shared<UITabBarController>();
    std::vector<std::shared_ptr<UIViewController>> screens;
    for (const char* title : {"Featured", "Categories", "Changes", "Manage", "Search"}) {
      auto screen = std::make_shared<KVPalettedViewController>();
      screen->setTitle(title);
      screens.push_back(std::make_shared<UINavigationController>(screen));
      screens.back()->tabBarItem()->setTitle(title);
    }
    tabs->setViewControllers(screens);
    rootScreen = tabs;
  }
  window->setRootViewController(rootScreen);
  window->makeKeyAndVisible();
  runTerminalSession(std::cin, screenDescriptor);

  QuillbarkPersistentPreferences::sharedInstance().saveToFile();
  KVLog("Quillbark is exiting");
  return 0;
}
