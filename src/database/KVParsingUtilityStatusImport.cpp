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
    auto wired = KVConnections::current("The dpkg status import");
    Date reference = wired->sources->currentRefreshDate().value_or(Date::now());
    auto db = store::Database::openDefaultDatabase();
    ErrorRef failure = db ? KVStatusImport::run(**db, reference).error() : db.error();
    ErrorRef error;
    if (failure) {
      KVLog("The dpkg status import failed: %s", failure->localizedDescription().c_str());
      error = makeError(KVStatusImportErrorDomain, 1, "The dpkg status import failed: " + failure->localizedDescription());
    } else {
      auto packages = wired->packages;
      performOnMainThread([packages] {
        RunLoop::main().addTimer(1.0, [packages] { packages->rebuildPackagesCategoriesCache(); });
      });
    }
    if (completion) completion(error);
  });
}
