#include "database/KVSourceIconFetch.h"

#include <algorithm>

#include "database/KVIconProvider.h"
#include "database/KVRSource.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"

std::shared_ptr<KVSourceIconFetch> KVSourceIconFetch::initWithSource(const std::string& location) {
  std::shared_ptr<KVSourceIconFetch> task(new KVSourceIconFetch());
  task->sourceLocation_ = location;
  return task;
}

std::string KVSourceIconFetch::taskID() const {
  std::string id = sourceLocation_;
  std::replace(id.begin(), id.end(), '/', '_');
  return "Icon-" + id;
}

std::string KVSourceIconFetch::taskDescription() const {
  auto record = KVRSource::objectForPrimaryKey(Value(sourceLocation_));
  std::string name = record && record->name() && !record->name()->empty() ? *record->name() : sourceLocation_;
  return NSLocalizedFormat("Fetching icon for %@...", {name});
}

void KVSourceIconFetch::taskStart() {
  if (!checkNetwork()) return;
  auto record = KVRSource::objectForPrimaryKey(Value(sourceLocation_));
  std::optional<URL> url = record && record->iconURL() ? URL::fromString(*record->iconURL()) : std::nullopt;
  if (!url) return finishWithLog("Icon fetch task aborted, null url");
  std::string location = sourceLocation_;
  downloadIcon(*url, [location](const Data& bytes) {
    // The source may have been removed while its icon came.
    auto current = KVRSource::objectForPrimaryKey(Value(location));
    if (!current || !current->iconURL() || !storeAsPNG(bytes, *current->iconURL())) return;
    performOnMainThread([location] {
      NotificationCenter::defaultCenter().post(KVRSourceInfoIconChangedNotification, Value(location));
    });
  });
}
