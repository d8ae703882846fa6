#include "support/TestResets.h"

#include <functional>

#include "account/KVFeaturedPackagesMethods.h"
#include "account/KVNewsRetrieval.h"
#include "account/KVSearchDeveloper.h"
#include "account/KVSearchRepositories.h"
#include "account/KVStatistics.h"
#include "account/KVVendorService.h"
#include "core/KVKnownRepositories.h"
#include "core/KVPipelineManager.h"
#include "database/KVIconProvider.h"
#include "database/TweakCompatibilityManager.h"
#include "foundation/RunLoop.h"
#include "interface/DarkmodeViewController.h"
#include "package/KVVideoPlayerView.h"
#include "payment/KVOutsideStore.h"
#include "payment/KVRepoStoreAPI.h"
#include "security/LAContext.h"
#include "support/TestHttpServer.h"
#include "support/TestRoot.h"

namespace {
struct Reset {
  const char* what;
  std::function<void()> reset;
};

// In order: nothing left queued, then the shared objects, then the connections, which a
// later reset may need.
const Reset kResets[] = {
    {"main loop", [] { RunLoop::main().reset(); }},
    {"pipeline", [] { KVPipelineManager::sharedManager().resetForTesting(); }},
    {"icon downloads", [] { KVIconProvider::resetForTesting(); }},
    {"known repositories", [] { KVKnownRepositories::resetLocations(); }},
    {"video player's hosts", [] { KVVideoPlayerView::resetHosts(); }},
    // Nothing a test forgets to point elsewhere reaches out: the vendor service is a port
    // nobody listens on.
    {"vendor service",
     [] {
       KVVendorService::setServiceBaseURL(TestHttpServer::closedBaseURL());
       KVVendorService::setRequestTimeout(KVVendorService::kDefaultRequestTimeout);
     }},
    // The refresh asks the compatibility list for every package it writes.
    {"compatibility service", [] { TweakCompatibilityManager::setServiceBaseURL(TestHttpServer::closedBaseURL()); }},
    {"vendor service's results",
     [] {
       KVSearchRepositories::instance().resetForTesting();
       KVSearchDeveloper::instance().resetForTesting();
       KVStatistics::instance().resetForTesting();
       KVFeaturedPackagesMethods::instance().resetForTesting();
       KVNewsRetrieval::instance().resetForTesting();
     }},
    {"palette chooser's option", [] { DarkmodeViewController::resetOptionForTesting(); }},
    {"device owner", [] { LAContext::setOwnerAnswer(std::nullopt); }},
    {"exempt repository", [] { KVRepoStoreAPI::setBlacklistedSourceLocation(KVRepoStoreAPI::kBlacklistedSourceLocation); }},
    {"outside store", [] { KVOutsideStore::setLocation(TestHttpServer::closedBaseURL()); }},
    {"connections", [] { TestRoot{}; }},
};
}  // namespace

namespace TestResets {
void resetAll() {
  for (const auto& entry : kResets) entry.reset();
}
}  // namespace TestResets
