// A platform test stands on its subject's floor plus the fixtures.
#include "foundation/Value.h"
#include "support/TempDir.h"
#include "database/KVRPackage.h"
