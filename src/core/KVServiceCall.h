#pragma once
// One call to a web service: build the request, send it on a URL session made for it
// alone, accept or refuse the reply, decode the accepted reply into the caller's
// response, and complete exactly once, on that session's queue. The clients of the
// vendor's service and the payment client are built on it.
//
//   KVServiceCall::send<Profile>(request, configuration, {.body = Body::JSONObject},
//       [](const KVServiceReply& reply) -> Expected<Profile> { return readProfile(reply.json()); },
//       [](Expected<Profile> profile) { ... });
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/KVServiceReply.h"
#include "foundation/Expected.h"
#include "foundation/URLRequest.h"
#include "foundation/URLSessionConfiguration.h"

class KVServiceCall {
 public:
  // What a reply must be before it is decoded. A transport error always refuses it.
  struct Acceptance {
    enum class Body { Any, JSON, JSONObject, JSONArray };
    // Any: the body as it came. JSON: a body the JSON reader accepts. JSONObject and
    // JSONArray: JSON of that shape; other JSON is refused with `shapeMessage`.
    Body body = Body::Any;
    // When set, a status other than 200 and 304 refuses the reply with an error of the
    // system's domain, the status as its code and this text ("%ld" the status).
    std::optional<std::string> statusMessage;
    std::string shapeMessage = "The data couldn't be read because it isn't in the correct format.";
  };
  using Handler = std::function<void(Expected<KVServiceReply> reply)>;

  // Sends `request` on a session of `configuration` made for it and let go when the
  // request ends; `handler` hears once, on the session's queue, the accepted reply or
  // the error that refused it.
  static void send(const URLRequest& request, const URLSessionConfiguration& configuration,
                   const Acceptance& acceptance, Handler handler);

  // The same, with the accepted reply decoded: `completion` hears once the response or
  // the error of the transport, of the acceptance or of `decode`.
  template <typename Response>
  static void send(const URLRequest& request, const URLSessionConfiguration& configuration,
                   const Acceptance& acceptance, std::function<Expected<Response>(const KVServiceReply&)> decode,
                   std::function<void(Expected<Response>)> completion) {
    send(request, configuration, acceptance,
         [decode = std::move(decode), completion = std::move(completion)](Expected<KVServiceReply> reply) {
           if (!completion) return;
           if (!reply) return completion(Expected<Response>(reply.error()));
           completion(decode(*reply));
         });
  }

  // Judges one reply as `send` does.
  static Expected<KVServiceReply> accept(const Acceptance& acceptance, std::optional<Data> body,
                                         URLResponseRef response, ErrorRef transportError);

  // Whether a refusal came from the transport (no reply at all) rather than from the
  // reply's status or body.
  static bool isTransportError(const ErrorRef& error);

  KVServiceCall() = delete;
};
