#include "database/KVRDeveloper.h"

namespace {
void customize(store::ObjectSchema& schema) {
  store::ObjectSchema out(schema.className());
  for (auto p : schema.properties()) {
    if (p.name == "name") p.indexed();
    out.add(std::move(p));
  }
  schema = std::move(out);
}
}  // namespace

KVR_RECORD_IMPL(KVRDeveloper, KVRDEVELOPER_PROPERTIES, customize)

store::TypedResults<KVRDeveloper> KVRDeveloper::allObjects() {
  return store::allObjects<KVRDeveloper>(*store::Database::defaultDatabase());
}
