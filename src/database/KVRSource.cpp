#include "database/KVRSource.h"

#include "foundation/DateFormatter.h"

namespace {
void customize(store::ObjectSchema& schema) {
  store::ObjectSchema out(schema.className());
  for (auto p : schema.properties()) {
    if (p.name == "location") p.primaryKey();
    out.add(std::move(p));
  }
  schema = std::move(out);
}
}  // namespace

KVR_RECORD_IMPL(KVRSource, KVRSOURCE_PROPERTIES, customize)

KVRSource KVRSource::newSourceWithLocation(const std::string& location) {
  KVRSource source;
  source.setName(location);
  source.setLocation(location);
  source.setIsUsingInfoJson(false);
  source.setIsFollowed(false);
  source.setDescription(" ");
  source.setTotalPackages(" ");
  DateFormatter formatter("yyy-MM-dd HH:mm:ss", "");
  source.setAddingDate(formatter.format(Date::now()));
  return source;
}

store::TypedResults<KVRSource> KVRSource::allObjects() {
  return store::allObjects<KVRSource>(*store::Database::defaultDatabase());
}

std::optional<KVRSource> KVRSource::objectForPrimaryKey(const std::string& location) {
  return store::objectForPrimaryKey<KVRSource>(*store::Database::defaultDatabase(), location);
}
