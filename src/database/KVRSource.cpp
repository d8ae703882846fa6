#include "database/KVRSource.h"

#include "foundation/DateFormatter.h"

namespace {
void customize(store::ObjectSchema& schema) {
  store::record::adjustProperties(schema, [](store::Property& p) {
    if (p.name == "location") p.primaryKey();
  });
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
