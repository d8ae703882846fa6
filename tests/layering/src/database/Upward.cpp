// The database reaching up into the APT layer.
#include "core/KVTask.h"
#include "database/KVRPackage.h"
#include "operations/KVAPTManager.h"
#include "store/Store.h"
#include <string>
