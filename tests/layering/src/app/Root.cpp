#include "payment/KVRepoStoreAPI.h"
#include "operations/KVAPTManager.h"
#include "markdown/Document.h"
