#include "core/KVServiceCall.h"

#include "core/KVErrorDomain.h"
#include "foundation/Log.h"
#include "foundation/URLSession.h"

Expected<KVServiceReply> KVServiceCall::accept(const Acceptance& acceptance, std::optional<Data> body,
                                               URLResponseRef response, ErrorRef transportError) {
  using Body = Acceptance::Body;
  if (transportError) return transportError;
  int status = response ? response->statusCode() : 0;
  if (acceptance.statusMessage && status != 200 && status != 304)
    return makeError(KVErrorDomain, status, qblog::format(acceptance.statusMessage->c_str(), static_cast<long>(status)));
  Data bytes = body ? std::move(*body) : Data{};
  if (acceptance.body == Body::Any) return KVServiceReply(std::move(response), std::move(bytes));
  auto json = KVServiceReply::parseJSON(bytes);
  if (!json) return json.error();
  if ((acceptance.body == Body::JSONObject && !json->isDictionary()) ||
      (acceptance.body == Body::JSONArray && !json->isArray()))
    return makeError(KVErrorDomain, status, acceptance.shapeMessage);
  return KVServiceReply(std::move(response), std::move(bytes), std::move(*json));
}

void KVServiceCall::send(const URLRequest& request, const URLSessionConfiguration& configuration,
                         const Acceptance& acceptance, Handler handler) {
  auto session = URLSession::sessionWithConfiguration(configuration);
  session->dataTaskWithRequest(request, [acceptance, handler = std::move(handler)](
                                            std::optional<Data> body, URLResponseRef response, ErrorRef error) {
    if (handler) handler(accept(acceptance, std::move(body), std::move(response), std::move(error)));
  })->resume();
  session->finishTasksAndInvalidate();
}

bool KVServiceCall::isTransportError(const ErrorRef& error) { return error && error->domain == NSURLErrorDomain; }
