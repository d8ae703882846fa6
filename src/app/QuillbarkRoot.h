#pragma once
// The composition root: builds the managers once, in one place, and connects the
// subsystems. Subsystems call one another directly where the floors allow; where a lower
// one must call a manager built above it (the pipeline and the database call the sources
// and packages managers and make the cache-update task; the refresh asks the APT layer,
// the payment client and the repository directory), the root hands it the manager
// through core/KVConnections. Screens are made by the root's navigation (KVRootScreens),
// each handed the managers it calls. The only other thing handed in is the environment,
// the platform's effects; main() gives the application's, tests give recording ones.
#include <functional>
#include <memory>

#include "core/KVConnections.h"
#include "foundation/Error.h"
#include "interface/KVScreenContext.h"

class KVApplicationActions;
class KVDownloadStatsRegister;
class KVRPackages;
class KVRSources;
class KVRootScreens;

// The type the root holds each manager as: the interface the lower subsystems call,
// except where the screens and the application delegate call the manager's whole
// surface.
template <class Interface>
struct QuillbarkRootManagerType {
  using type = Interface;
};
template <>
struct QuillbarkRootManagerType<KVSourcesManaging> {
  using type = KVRSources;
};
template <>
struct QuillbarkRootManagerType<KVPackagesManaging> {
  using type = KVRPackages;
};
template <>
struct QuillbarkRootManagerType<KVDownloadStatsRegistering> {
  using type = KVDownloadStatsRegister;
};

class QuillbarkRoot {
 public:
  // The managers, one member per entry of KV_CONNECTED_MANAGERS (core/KVConnections.h).
  struct Managers {
#define QUILLBARK_ROOT_MANAGER(Interface, name) std::shared_ptr<typename QuillbarkRootManagerType<Interface>::type> name;
    KV_CONNECTED_MANAGERS(QUILLBARK_ROOT_MANAGER)
#undef QUILLBARK_ROOT_MANAGER
  };
  static Managers standardManagers();

  // Makes the navigation from the managers screens call and the delegate's actions: the
  // application's own (KVRootScreens), or in a test one with some screens replaced.
  using ScreensMaker = std::function<std::shared_ptr<KVRootScreens>(
      std::shared_ptr<KVRSources>, std::shared_ptr<KVRPackages>, std::shared_ptr<KVApplicationActions>)>;
  static ScreensMaker standardScreens();

  // Connects the subsystems and builds the managers. Every piece of the environment and
  // every manager must be there: otherwise nothing starts and the error names each
  // missing piece. Starting again (tests do) replaces what the last start connected.
  [[nodiscard]] static ErrorRef start(KVEnvironment environment, Managers managers = standardManagers(),
                                      const ScreensMaker& makeScreens = standardScreens());

  // The managers and the navigation of the running root, and the context it hands the
  // screens it makes, for the application delegate (the root's own). Asking before a
  // start is a programming error: the process ends, naming `user`.
  static Managers managers(const char* user);
  static std::shared_ptr<KVRootScreens> screens(const char* user);
  static KVScreenContext screenContext(const char* user);

  QuillbarkRoot() = delete;
};
