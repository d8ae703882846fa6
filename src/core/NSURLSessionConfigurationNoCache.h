#pragma once
// The configuration nearly every session of the system runs under: ephemeral, no URL
// cache at all, and requests that reload ignoring any local data.
#include "foundation/URLSessionConfiguration.h"

namespace NSURLSessionConfigurationNoCache {
URLSessionConfiguration noCacheConfigureation();
}
