#include "database/KVPackageIconFetch.h"

#include "core/NSURLRequestKorvaleExtensions.h"
#include "database/KVIconProvider.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URLSession.h"
#include "store/Store.h"

namespace {

void postIconChanged(const std::string& identifier) {
  performOnMainThread(
      [identifier] { NotificationCenter::defaultCenter().post(KVRPackageInfoIconChangedNotification, Value(identifier)); });
}

// Writes the record's `iconURL` (none clears it) in one transaction of this thread's
// default database.
void setIconURL(const std::string& identifier, const std::optional<std::string>& url) {
  auto db = store::Database::openDefaultDatabase();
  if (!db) return;
  if (ErrorRef error = (*db)->write([&] {
    if (auto object = (*db)->objectForPrimaryKey(KVRPackage::className(), Value(identifier)))
      (*db)->setValue(*object, "iconURL", url ? Value(*url) : Value());
  })) {
    KVLog("Recording the icon of %s failed: %s", identifier.c_str(), error->localizedDescription().c_str());
  }
}

}  // namespace

std::shared_ptr<KVPackageIconFetch> KVPackageIconFetch::initWithPackage(const std::string& identifier) {
  std::shared_ptr<KVPackageIconFetch> task(new KVPackageIconFetch());
  task->packageIdentifier_ = identifier;
  if (auto record = KVRPackage::objectForPrimaryKey(Value(identifier))) task->packageIconURL_ = record->iconURL();
  return task;
}

std::shared_ptr<KVPackageIconFetch> KVPackageIconFetch::initWithPackage(const std::string& identifier,
                                                                        const std::string& overrideURL) {
  auto task = initWithPackage(identifier);
  if (overrideURL.size() > 9) {
    task->packageIconURL_ = overrideURL;
    task->isUsingOverride_ = true;
  }
  return task;
}

std::string KVPackageIconFetch::taskDescription() const {
  return NSLocalizedFormat("Fetching icon for %@...", {packageIdentifier_});
}

void KVPackageIconFetch::taskStart() {
  if (!checkNetwork()) return;
  std::optional<URL> url = packageIconURL_ ? URL::fromString(*packageIconURL_) : std::nullopt;
  if (!url) return finishWithLog("Icon fetch task aborted, null url");
  auto request = NSURLRequestKorvaleExtensions::QuillbarkRequestWithString(url->absoluteString(), "HEAD",
                                                                           int64_t(KVIconProvider::kRequestTimeout));
  auto self = std::static_pointer_cast<KVPackageIconFetch>(shared_from_this());
  URLSession::sharedSession()
      ->dataTaskWithRequest(request,
                            [self, url](std::optional<Data>, URLResponseRef response, ErrorRef error) {
                              if (error || !response) return self->finishTask();
                              if (response->statusCode() != 200) return self->iconIsGone();
                              self->downloadIcon(*url, [self](const Data& bytes) {
                                const std::string& key = *self->packageIconURL_;
                                if (!storeAsPNG(bytes, key)) return;
                                postIconChanged(self->packageIdentifier_);
                                setIconURL(self->packageIdentifier_, key);
                              });
                            })
      ->resume();
}

void KVPackageIconFetch::iconIsGone() {
  setIconURL(packageIdentifier_, std::nullopt);
  postIconChanged(packageIdentifier_);
  finishTask();
}
