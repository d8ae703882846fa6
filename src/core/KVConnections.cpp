#include "core/KVConnections.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "foundation/Log.h"

namespace {
std::mutex gMutex;
std::shared_ptr<const KVConnections> gInstalled;

void noteIfMissing(std::vector<std::string>& missing, bool present, const char* name) {
  if (!present) missing.emplace_back(name);
}
}  // namespace

std::vector<std::string> KVEnvironment::missingPieces() const {
  std::vector<std::string> missing;
  noteIfMissing(missing, bool(runCommand), "runCommand");
  noteIfMissing(missing, bool(beginBackgroundTask), "beginBackgroundTask");
  noteIfMissing(missing, bool(endBackgroundTask), "endBackgroundTask");
  noteIfMissing(missing, bool(setIdleTimerDisabled), "setIdleTimerDisabled");
  noteIfMissing(missing, bool(presentAlertCard), "presentAlertCard");
  noteIfMissing(missing, bool(showUpdateCount), "showUpdateCount");
  noteIfMissing(missing, bool(authenticateDeviceOwner), "authenticateDeviceOwner");
  return missing;
}

std::vector<std::string> KVConnections::missingPieces() const {
  std::vector<std::string> missing;
  for (const auto& piece : environment.missingPieces()) missing.push_back("environment." + piece);
#define KV_CHECK_CONNECTION(Interface, name) noteIfMissing(missing, name != nullptr, #name);
  KV_CONNECTED_MANAGERS(KV_CHECK_CONNECTION)
#undef KV_CHECK_CONNECTION
  return missing;
}

ErrorRef KVConnections::install(KVConnections connections) {
  auto missing = connections.missingPieces();
  if (!missing.empty()) {
    std::string names;
    for (const auto& name : missing) names += (names.empty() ? "" : ", ") + name;
    return makeError(KVConnectionsErrorDomain, 1, "The start-up connections lack: " + names);
  }
  std::lock_guard<std::mutex> lock(gMutex);
  gInstalled = std::make_shared<const KVConnections>(std::move(connections));
  return nullptr;
}

std::shared_ptr<const KVConnections> KVConnections::current(const char* user) {
  {
    std::lock_guard<std::mutex> lock(gMutex);
    if (gInstalled) return gInstalled;
  }
  // A call before start-up connected the subsystems: a wiring fault, never a quiet no-op.
  KVLog("*** %s ran before the composition root connected the subsystems", user);
  std::fprintf(stderr, "quillbark: %s ran before the composition root connected the subsystems\n", user);
  std::abort();
}

bool KVConnections::installed() {
  std::lock_guard<std::mutex> lock(gMutex);
  return gInstalled != nullptr;
}

void KVConnections::uninstall() {
  std::lock_guard<std::mutex> lock(gMutex);
  gInstalled.reset();
}
