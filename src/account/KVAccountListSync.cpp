#include "account/KVAccountListSync.h"

#include "account/KVAccount.h"
#include "account/KVVendorService.h"
#include "foundation/Log.h"

using namespace KVVendorService;

void KVAccountListSync::upload(const std::string& joined) const {
  post(uploadPath_, {{"userID", std::to_string(KVAccount::instance().returnUserID())}, {field_, joined}},
       KVServiceCall::Acceptance{}, [](Expected<KVServiceReply> reply) {
         if (reply) KVLog("Sync state : success");
       });
}

void KVAccountListSync::retrieve(ListCompletion completion) const {
  std::string field = field_;
  get(retrievePath_, {{"userID", std::to_string(KVAccount::instance().returnUserID())}}, Blank::Percent20,
      json(KVServiceCall::Acceptance::Body::JSONObject), [field, completion](Expected<KVServiceReply> reply) {
        if (!completion) return;
        auto text = reply ? textMember(reply->json(), field) : std::nullopt;
        completion(text ? std::optional(splitList(*text)) : std::nullopt);
      });
}
