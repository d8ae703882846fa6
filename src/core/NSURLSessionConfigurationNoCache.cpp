#include "core/NSURLSessionConfigurationNoCache.h"

namespace NSURLSessionConfigurationNoCache {
URLSessionConfiguration noCacheConfigureation() {
  URLSessionConfiguration config = URLSessionConfiguration::ephemeralSessionConfiguration();
  config.requestCachePolicy = URLRequest::ReloadIgnoringLocalCacheData;
  config.urlCache = nullptr;
  return config;
}
}  // namespace NSURLSessionConfigurationNoCache
