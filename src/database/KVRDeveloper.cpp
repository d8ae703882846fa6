#include "database/KVRDeveloper.h"

namespace {
void customize(store::ObjectSchema& schema) {
  store::record::adjustProperties(schema, [](store::Property& p) {
    if (p.name == "name") p.indexed();
  });
}
}  // namespace

KVR_RECORD_IMPL(KVRDeveloper, KVRDEVELOPER_PROPERTIES, customize)
