// KVParsingUtility's dpkg status import: the entry point that the application and the
// package operations call; the work itself is KVStatusImport.
#include "core/KVConnections.h"
#include "database/KVParsingUtility.h"
#include "database/KVStatusImport.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "store/Store.h"

void KVParsingUtility::checkStatusFileWithCompletion(std::function<void(ErrorRef)> completion) {
  if (!Files::exists(KVStatusImport::statusFilePath())) {
    if (completion) completion(nullptr);
    return;
  }
  performOnDefaultThread([completion = std::move(completion)] {
    ErrorRef error;
    try {
      auto wired = KVConnections::current("The dpkg status import");
      Date reference = wired->sources->currentRefreshDate().value_or(Date::now());
      if (auto db = store::Database::openDefaultDatabase()) {
        KVStatusImport::run(**db, reference);
        auto packages = wired->packages;
        performOnMainThread([packages] {
          RunLoop::main().addTimer(1.0, [packages] { packages->rebuildPackagesCategoriesCache(); });
        });
      } else {
        KVLog("The dpkg status import failed: %s", db.error()->localizedDescription().c_str());
        error = makeError(KVStatusImportErrorDomain, 1,
                          "The dpkg status import failed: " + db.error()->localizedDescription());
      }
    } catch (const std::exception& e) {
      KVLog("The dpkg status import failed: %s", e.what());
      error = makeError(KVStatusImportErrorDomain, 1, std::string("The dpkg status import failed: ") + e.what());
    }
    if (completion) completion(error);
  });
}
