#include "database/KVRSchema.h"

#include "database/KVRDeveloper.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageVersion.h"
#include "database/KVRSearchHistory.h"
#include "database/KVRSource.h"

namespace KVRSchema {

store::Schema schema() {
  store::Schema s;
  s.add(KVRPackage::schemaRef());
  s.add(KVRSource::schemaRef());
  s.add(KVRDeveloper::schemaRef());
  s.add(KVRPackageVersion::schemaRef());
  s.add(KVRSearchHistory::schemaRef());
  return s;
}

}  // namespace KVRSchema
