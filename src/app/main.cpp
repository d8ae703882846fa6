// The process entry: prepares the device root and the log file, then runs the main loop
// until asked to stop (quit, SIGINT or SIGTERM; not while the package tools run, QuitGate).
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "account/KVVendorService.h"
#include "app/ApplicationEnvironment.h"
#include "app/ApplicationInformationFile.h"
#include "app/CommandLine.h"
#include "app/DeviceRootLock.h"
#include "app/KVQuillbark.h"
#include "app/PackageToolsLastRun.h"
#include "app/QuitGate.h"
#include "app/QuillbarkRoot.h"
#include "app/TerminalDriver.h"
#include "core/KVLogFile.h"
#include "core/NSBundleLocalizedBundle.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "interface/ErrorViewController.h"
#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "foundation/UnusedMemory.h"
#include "payment/KVOutsideStore.h"
#include "render/ScreenWindow.h"
#include "render/ViewRenderer.h"
#include "system/DeviceRoot.h"
#include "system/DeviceRootBuilder.h"
#include "uikit/UIApplication.h"
#include "uikit/UIScreen.h"
#include "uikit/UIStoryboard.h"
#include "uikit/UIWindow.h"

namespace {
std::atomic<bool> gWindowShown{false};

void showCard(const std::string& title, const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->showWithTitle(title, message, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  card->presentFromTopPresenter();
}

// A quit asked of the window (its close, or a signal): while the package tools run, the
// window stays, saying so on a card, until they end or the person asks again.
bool windowMayClose(int errorDescriptor) {
  std::string message;
  bool leave =
      QuitGate::ask(&message, NSLocalizedString("Close the window again to leave now.")) == QuitGate::Answer::Leave;
  if (!message.empty()) dprintf(errorDescriptor, "quillbark: %s\n", message.c_str());
  if (!leave) showCard(NSLocalizedString("Quitting When the Package Tools End"), message);
  return leave;
}

// Asks to quit on SIGINT or SIGTERM, as the quit command does (QuitGate). The signals are
// blocked in every thread and taken here with sigwait, so no handler runs in the middle
// of other work.
void startSignalWatcher(sigset_t set, int errorDescriptor) {
  std::thread([set, errorDescriptor] {
    int sig = 0;
    while (sigwait(&set, &sig) == 0) {
      // A first Ctrl-C stops a running command (a wait).
      if (sig == SIGINT && interruptTerminalCommand()) continue;
      if (!gWindowShown) {
        askTerminalSessionToQuit();
        continue;
      }
      RunLoop::main().post([errorDescriptor] {
        if (windowMayClose(errorDescriptor)) ScreenWindow::requestClose();
      });
    }
  }).detach();
}

// The preference file could not be read and was replaced by the defaults: said once,
// on the alert card, since the choices it held are gone.
void showReplacedPreferences(const std::string& kept) {
  std::string message = NSLocalizedString("The preference file could not be read, so Quillbark started with its default "
                                          "preferences.");
  if (!kept.empty()) message += " " + NSLocalizedFormat("The unreadable file is kept as %@.", {kept});
  showCard(NSLocalizedString("Preferences Replaced"), message);
}

// Work may still run on other threads when the person quits: a refresh waiting for its
// server, an icon download, a count over every source, a build of the package caches.
// The process singletons such work uses are never destroyed, but statics of every
// subsystem are, after main returns, under a thread still using them: the process ends
// here instead, without destroying anything. A write still under way is lost whole (the
// database reads as before it); what must be kept was written by the termination.
[[noreturn]] void endProcess(int status) {
  std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // The leak checker runs at a normal exit only.
  __lsan_do_leak_check();
#endif
  std::_Exit(status);
}
}  // namespace

// Before any other initialisation: a thread started by one would otherwise fix the
// allocator's pools as they are by default.
[[gnu::constructor(101)]] void configureAllocator() { UnusedMemory::configureForLongRunningProcess(); }

int main(int argc, char** argv) {
  auto environment = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  std::error_code ec;
  std::string error;
  auto line = CommandLine::parse(argc - 1, argv + 1, environment, std::filesystem::current_path(ec).string(), &error);
  if (!line) {
    std::fprintf(stderr, "quillbark: %s\n(quillbark --help lists the options)\n", error.c_str());
    return 2;
  }
  if (line->help) {
    std::fputs(CommandLine::usage(environment).c_str(), stdout);
    return 0;
  }
  if (line->version) {
    std::printf("quillbark %s (%s)\n", Bundle::main().shortVersion().c_str(), Bundle::main().version().c_str());
    return 0;
  }
  const std::string root = line->deviceRoot;

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  DeviceRoot::setRoot(root);
  // Before anything else is written: a second application on the same root would
  // interleave its writes with this one's.
  std::vector<std::string> repairs;
  auto lock = DeviceRootLock::acquire(&error, &repairs);
  if (!lock) {
    std::fprintf(stderr, "quillbark: %s\n", error.c_str());
    return 1;
  }
  // What a run left behind the last application is read only once it has ended.
  bool started = true;
  std::optional<std::string> lastRun = PackageToolsLastRun::waitAtStart(signals, &started);
  if (!started) return 1;
  // At every start: a root made by an earlier version is completed, and what a package
  // did to the device's own folders is put right before anything is written there.
  std::vector<std::string> built;
  bool factsReplaced = false;
  if (!DeviceRootBuilder::build(root, DeviceFacts{}, &error, &built, &factsReplaced)) {
    std::fprintf(stderr, "quillbark: cannot prepare the device folder %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }
  repairs.insert(repairs.end(), built.begin(), built.end());

  // The application as its package puts it on the device, with its alternate icons.
  if (!ApplicationInformationFile::install(&error, &repairs))
    std::fprintf(stderr, "quillbark: the application's information file could not be written: %s\n", error.c_str());
  for (const auto& repair : repairs) std::fprintf(stderr, "quillbark: repaired the device folder: %s\n", repair.c_str());

  // The device's system version, and the firmware its dpkg status names with it.
  if (line->systemVersion && !DeviceRootBuilder::setSystemVersion(root, *line->systemVersion, &error)) {
    std::fprintf(stderr, "quillbark: cannot set the system version of %s: %s\n", root.c_str(), error.c_str());
    return 1;
  }

  if (line->outsideStore) KVOutsideStore::setLocation(*line->outsideStore);
  if (line->vendorService) KVVendorService::setServiceBaseURL(*line->vendorService);

  // Standard output and error go to the log file from here on; the session keeps both.
  int screenDescriptor = dup(STDOUT_FILENO);
  int errorDescriptor = dup(STDERR_FILENO);
  std::string logPath = KVLogFile::prepareLogFile(DeviceRoot::devicePath(DeviceRoot::kLogFolder));
  KVLogFile::installUncaughtExceptionHandler();
  for (const auto& repair : repairs) KVLog("Repaired the device folder: %s", repair.c_str());

  NSBundleLocalizedBundle::applyStoredLanguage();
  // Before the first screen reads them; the launch sequence merges again, finding nothing.
  QuillbarkPersistentPreferences::sharedInstance().mergeDefaultPreferences();

  if (ErrorRef error = QuillbarkRoot::start(applicationEnvironment())) {
    std::fprintf(stderr, "quillbark: cannot start: %s\n", error->localizedDescription().c_str());
    return 1;
  }
  startSignalWatcher(signals, errorDescriptor);
  // The interface of "Main" and the application delegate's launch sequence.
  auto window = std::make_shared<UIWindow>();
  window->setRootViewController(UIStoryboard::storyboardWithName("Main")->instantiateViewControllerWithIdentifier("TabBarVC"));
  window->makeKeyAndVisible();
  UIApplication::sharedApplication().launch(&KVQuillbark::sharedQuillbark());
  if (auto kept = QuillbarkPersistentPreferences::sharedInstance().replacedUnreadableFile()) showReplacedPreferences(*kept);
  // A package can write the device's description; what it left there is no reason not
  // to start, but the person is told the description is the default one now.
  if (factsReplaced) {
    KVLog("The device description %s was damaged; it is replaced by the default one", DeviceRoot::kDeviceFactsFile);
    showCard(NSLocalizedString("Device Description Replaced"),
             NSLocalizedFormat("The device description (%@) was damaged, so Quillbark replaced it with the default one.",
                               {DeviceRoot::kDeviceFactsFile}));
  }
  if (lastRun) {
    showCard(NSLocalizedString("The Package Tools' Last Run Ended"),
             NSLocalizedFormat("The package tools' last run went on after Quillbark had left (%@); it has ended, and "
                               "the packages show what it left.",
                               {*lastRun}));
  }
  std::unique_ptr<ScreenWindow> shown;
  if (line->window) {
    std::string failure;
    shown = ScreenWindow::open("Quillbark", UIScreen::mainScreen().bounds().size, &failure);
    if (!shown) dprintf(errorDescriptor, "quillbark: no window can be opened (%s): the prompt instead\n", failure.c_str());
    // The window reads the keys: a person at the terminal is told so, not left typing.
    else if (isatty(STDIN_FILENO))
      dprintf(screenDescriptor,
              "quillbark: the window takes the input (a click taps, keys type, Escape goes back); "
              "this terminal is not read while it is open, and closing the window quits\n");
  }
  int status = 0;
  if (shown) {
    gWindowShown = true;
    QuitGate::setWhenToolsEnd([](const std::string&) { ScreenWindow::requestClose(); });
    do shown->run();
    while (!QuitGate::leaving() && !windowMayClose(errorDescriptor));
  } else {
    // The prompt lays its screens out as the window and `screenshot` draw them, so that
    // its text lists what the drawing shows.
    ViewRenderer::Watched watched(false);
    status = runTerminalSession(STDIN_FILENO, screenDescriptor, errorDescriptor,
                                CommandLine::historyFile(environment).value_or(""));
  }
  shown.reset();

  UIApplication::sharedApplication().terminate();
  QuillbarkPersistentPreferences::sharedInstance().saveToFile();
  KVLog("Quillbark is exiting");
  endProcess(status);
}
