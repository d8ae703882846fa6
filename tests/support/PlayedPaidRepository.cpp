#include "support/PlayedPaidRepository.h"

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/DebBuilder.h"
#include "support/TestHttpServer.h"

namespace {
std::string paidStanza(const std::string& identifier, const std::string& name, bool paid) {
  return "Package: " + identifier + "\nVersion: 1.0\nArchitecture: iphoneos-arm\nMaintainer: Example Shop <shop@example.org>\n"
         "Name: " + name + "\nSection: Tweaks\nDescription: " + name + " for tests\n" +
         (paid ? "Tag: cydia::commercial\n" : "") + "Filename: debs/" + identifier + ".deb\nSize: 1000\n\n";
}
}  // namespace

PlayedPaidRepository::PlayedPaidRepository(TestHttpServer& server, const std::string& folder) : server_(server) {
  Files::createDirectories(folder + "/api");
  DebBuilder::writeRepositoryIndex(folder,
                                   paidStanza("com.example.shade", "Shade", true) +
                                       paidStanza("com.example.glow", "Glow", true) +
                                       paidStanza("com.example.free", "Free", false),
                                   {kVendorName, kVendorName, "A paid repository played for tests", true});
  const std::string api = server_.url("/repo/api/");
  Files::writeAtomically(folder + "/payment_endpoint", api + "\n");
  if (auto icon = Files::read(QB_SOURCE_DIR "/resources/images/AppIcon.png"))
    Files::writeAtomically(folder + "/CydiaIcon.png", *icon);
  server_.serveFolder(folder, "/repo/");
  server_.respond("/repo/api/info",
                  TestHttpResponse::json(
                      Value::dict({{"name", kVendorName},
                                   {"icon", server_.url("/repo/CydiaIcon.png")},
                                   {"description", "Tweaks that cost a little"},
                                   {"authentication_banner",
                                    Value::dict({{"message", "Sign in to see what you bought here."}, {"button", "Sign in"}})}})
                          .toJSON()));
  // The service knows the device: its sign-in page hands the credentials back at once.
  TestHttpResponse page = TestHttpResponse::text(
      "<html><head><meta http-equiv=\"refresh\" content=\"0; URL='sileo://authentication_success?token=" +
      std::string(kToken) + "&payment_secret=" + kSecret + "'\"><title>Signing in</title></head></html>");
  page.contentType = "text/html";
  server_.respond("/repo/api/authenticate", page);
  auto signedIn = [](const TestHttpRequest& r) {
    auto body = Value::fromJSON(r.body);
    return body && (*body)["token"].asString() == kToken;
  };
  server_.handle("POST", "/repo/api/user_info", [this, signedIn](const TestHttpRequest& r) {
    if (!signedIn(r)) return TestHttpResponse::json(R"({"invalidate":true,"error":"Please sign in again"})");
    Value items = Value::array();
    std::lock_guard<std::mutex> lock(mutex_);
    for (const auto& identifier : owned_) items.push_back(Value(identifier));
    return TestHttpResponse::json(
        Value::dict({{"user", Value::dict({{"name", "Ann"}, {"email", "ann@example.org"}})}, {"items", items}}).toJSON());
  });
  server_.handle("POST", "/repo/api/sign_out",
                 [](const TestHttpRequest&) { return TestHttpResponse::json(R"({"success":true})"); });
}

std::string PlayedPaidRepository::location() const { return server_.url("/repo/"); }

void PlayedPaidRepository::setOwned(std::vector<std::string> identifiers) {
  std::lock_guard<std::mutex> lock(mutex_);
  owned_ = std::move(identifiers);
}
