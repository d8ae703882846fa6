// KVParsingUtility's dpkg status import: the entry point that the application and the
// package operations call; the work itself is KVStatusImport.
#include "core/KVConnections.h"
#include "database/KVParsingUtility.h"
#include "database/KVStanzaReader.h"
#include "database/KVStatusImport.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Log.h"
#include "foundation/RunLoop.h"
#include "store/Store.h"
#include "system/DpkgStatusFile.h"

std::optional<std::string> KVParsingUtility::enumeratePackagesOfDpkgFileAtPath(const std::string& path,
                                                                               const StanzaBlock& block) {
  DpkgStatusFile::Reader file(path);
  if (file.isMissing()) return std::nullopt;
  if (!file.isOpen()) return file.problem();
  KVStanzaReader reader([&file](char* bytes, size_t size) { return file.read(bytes, size); });
  KVStanza stanza;
  while (reader.next(stanza)) block(stanza);
  if (reader.stanzaTooLarge())
    return file.name() + " holds a stanza larger than " + std::to_string(KVStanzaReader::kMaximumStanzaBytes >> 20) +
           " MiB, more than any package's";
  if (reader.failed()) return file.problem();
  return std::nullopt;
}

void KVParsingUtility::checkStatusFileWithCompletion(std::function<void(ErrorRef)> completion) {
  // What a package's script left in the status's place is said at once, and the records
  // stay as dpkg last left them readable.
  DpkgStatusFile::Reader status(KVStatusImport::statusFilePath());
  if (!status.isOpen()) {
    ErrorRef error;
    if (!status.isMissing()) {
      KVLog("The dpkg status import is not run: %s", status.problem().c_str());
      error = makeError(KVStatusImportErrorDomain, KVStatusImportErrorUnreadable, status.problem());
    }
    if (completion) completion(error);
    return;
  }
  performOnDefaultThread([completion = std::move(completion)] {
    auto wired = KVConnections::current("The dpkg status import");
    Date reference = wired->sources->currentRefreshDate().value_or(Date::now());
    auto db = store::Database::openDefaultDatabase();
    ErrorRef failure = db ? KVStatusImport::run(**db, reference).error() : db.error();
    ErrorRef error;
    if (failure && failure->domain == KVStatusImportErrorDomain) {
      KVLog("The dpkg status import was not applied: %s", failure->localizedDescription().c_str());
      error = failure;
    } else if (failure) {
      KVLog("The dpkg status import failed: %s", failure->localizedDescription().c_str());
      error = makeError(KVStatusImportErrorDomain, KVStatusImportErrorNotWritten,
                        "The dpkg status import failed: " + failure->localizedDescription());
    } else {
      auto packages = wired->packages;
      performOnMainThread([packages] {
        RunLoop::main().addTimer(1.0, [packages] { packages->rebuildPackagesCategoriesCache(); });
      });
    }
    if (completion) completion(error);
  });
}
