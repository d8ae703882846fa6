// The platform may not see the system's own code.
#include "foundation/Value.h"
#include "core/KVTask.h"
