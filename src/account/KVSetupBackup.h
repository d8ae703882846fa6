#pragma once
// The user's setup kept on the vendor's service, per account: the locations of the
// configured sources and the identifiers of the installed packages. The upload and the
// retrieval requests, and the reading of the document the retrieval answers:
//
//   {"sources": ["https://repo.example/", ...], "packages": ["com.example.tool", ...]}
//
// A missing member is an empty list; other members are ignored. Nothing is sent for the
// user id 0: that is nobody's account, and a setup kept under it would be every
// signed-out user's.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Expected.h"
#include "foundation/Value.h"

namespace KVSetupBackup {

inline constexpr const char* kUploadPath = "setup/savesetup.php";
inline constexpr const char* kRetrievalPath = "setup/retrievesetup.php";
// The whole reply with which the service refuses an upload, or has no setup to give.
inline constexpr const char* kRefusal = "Error";

struct Document {
  std::vector<std::string> sources;
  std::vector<std::string> packages;
};

// The upload's form: "key=<client key>&userID=<id>&", then "sources[]=<location>&" for
// each location and "packages[]=<identifier>&" for each identifier, in order. The
// bracketed names go as they stand; every value is percent-encoded, so a location
// holding "&", "+" or a blank reaches the service as it is kept.
std::string uploadBody(int64_t userID, const std::vector<std::string>& sources,
                       const std::vector<std::string>& packages);

// Sends the upload with the request factory's request (the application's user agent
// and the device's identifier). `completion` hears, on the request's queue, the reply's
// text, or the transport's error.
void upload(int64_t userID, const std::vector<std::string>& sources, const std::vector<std::string>& packages,
            std::function<void(Expected<std::string> reply)> completion);

// Asks for the setup kept for the user. `completion` hears, on the request's queue, the
// reply's body, or the transport's error.
void retrieve(int64_t userID, std::function<void(Expected<Data> body)> completion);

// The document a retrieval answered; nothing when it is no JSON object, or a member is
// there but is no list of texts.
std::optional<Document> readDocument(const Data& body);

}  // namespace KVSetupBackup
