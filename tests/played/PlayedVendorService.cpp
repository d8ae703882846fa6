// quillbark-played-vendor-service: the vendor's web service as the tests play it, run on
// its own so that a person can use the application against it (scripts/play-vendor-service,
// then quillbark --vendor-service http://127.0.0.1:8081). It listens on 127.0.0.1 (port
// 8081 unless --port says otherwise), keeps everything in memory (the users' saved setups
// too) and starts with a few news entries, the credits and their pictures, and the users,
// developers and featured list its options name:
//
//   quillbark-played-vendor-service [--port N] [--user NAME:PASSWORD[:EMAIL]]... [--developer JSON]...
//                                   [--featured FILE]
//
// The users get the ids 1, 2, ... in the order given. A developer is one object as the
// directory answers it ("developer", "about", "location", "email", "homepage", "github",
// "repository", "twitter", "avatar"). The featured FILE holds the featured list as the
// service answers it: "featuredTop" (the banners), "featuredMiddle", "mustHaveTweaks",
// "mustHaveThemes" and "extendApps". It runs until Ctrl-C or SIGTERM, then names what the
// application sent against the service's protocol.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/PlayedVendorService.h"
#include "support/TestVendorService.h"

namespace {
const char* const kUsage =
    "usage: quillbark-played-vendor-service [--port N] [--user NAME:PASSWORD[:EMAIL]]... [--developer JSON]... "
    "[--featured FILE]\n";

int refuse(const std::string& message) {
  std::fprintf(stderr, "quillbark-played-vendor-service: %s\n", message.c_str());
  std::fputs(kUsage, stderr);
  return 2;
}
}  // namespace

int main(int argc, char** argv) {
  int port = 8081;
  std::vector<TestVendorService::User> users;
  std::vector<Value> developers;
  std::optional<Value> featured;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (i + 1 >= argc) return refuse(option + " needs a value");
    const std::string value = argv[++i];
    if (option == "--port") {
      char* end = nullptr;
      long number = std::strtol(value.c_str(), &end, 10);
      if (*end || number <= 0 || number > 65535) return refuse("--port takes a port number, not \"" + value + "\"");
      port = static_cast<int>(number);
    } else if (option == "--user") {
      auto colon = value.find(':');
      if (colon == std::string::npos || colon == 0)
        return refuse("--user takes NAME:PASSWORD[:EMAIL], not \"" + value + "\"");
      TestVendorService::User user;
      user.id = static_cast<int64_t>(users.size()) + 1;
      user.username = value.substr(0, colon);
      user.password = value.substr(colon + 1);
      // A last field holding "@" is the e-mail address (a password may hold colons).
      if (auto last = user.password.rfind(':'); last != std::string::npos &&
                                                user.password.find('@', last) != std::string::npos) {
        user.email = user.password.substr(last + 1);
        user.password.resize(last);
      }
      users.push_back(user);
    } else if (option == "--developer") {
      std::string error;
      auto profile = Value::fromJSON(value, &error);
      if (!profile || !profile->isDictionary() || !(*profile)["developer"].isString())
        return refuse("--developer takes a JSON object with a \"developer\" name" + (error.empty() ? "" : ": " + error));
      developers.push_back(*profile);
    } else if (option == "--featured") {
      auto text = Files::readText(value);
      if (!text) return refuse("cannot read the featured list " + value);
      std::string error;
      featured = Value::fromJSON(*text, &error);
      if (!featured || !featured->isDictionary())
        return refuse("the featured list " + value + " is not a JSON object" + (error.empty() ? "" : ": " + error));
    } else {
      return refuse("unknown option " + option);
    }
  }
  // Ctrl-C and SIGTERM are taken with sigwait below, in no particular thread's way.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    TestVendorService service(port);
    PlayedVendorService::seed(service);
    for (const auto& user : users) service.addUser(user);
    for (const auto& developer : developers) service.addDeveloper(developer);
    if (featured) service.setFeatured(*featured);
    std::printf("The vendor service plays on %s (Ctrl-C stops it)\n", service.server().baseURL().c_str());
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    for (const auto& violation : service.violations()) std::fprintf(stderr, "protocol: %s\n", violation.c_str());
  } catch (const std::exception& e) {
    return refuse(e.what());
  }
  return 0;
}
