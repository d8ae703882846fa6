// Only tests see the fixtures.
#include "system/DeviceRoot.h"
#include "support/TempDir.h"
