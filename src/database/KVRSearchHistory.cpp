#include "database/KVRSearchHistory.h"

KVR_RECORD_IMPL(KVRSearchHistory, KVRSEARCHHISTORY_PROPERTIES, store::record::noCustomization)
