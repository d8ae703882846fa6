#include "database/KVRSearchHistory.h"

namespace {
void customize(store::ObjectSchema&) {}
}  // namespace

KVR_RECORD_IMPL(KVRSearchHistory, KVRSEARCHHISTORY_PROPERTIES, customize)

store::TypedResults<KVRSearchHistory> KVRSearchHistory::allObjects() {
  return store::allObjects<KVRSearchHistory>(*store::Database::defaultDatabase());
}
