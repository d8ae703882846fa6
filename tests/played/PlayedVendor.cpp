// quillbark-played-vendor: plays the vendor's web service on 127.0.0.1 for a person at the
// terminal (the README's "Your account by hand"): the account ann (password secret), its
// backups, news and credits, on PORT (8092 unless --port says otherwise). The application
// is pointed at it with --vendor-service http://127.0.0.1:PORT. It runs until Ctrl-C or
// SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "support/PlayedVendorService.h"
#include "support/TestVendorService.h"

int main(int argc, char** argv) {
  int port = 8092;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: quillbark-played-vendor [--port PORT]\n");
      return arg == "--help" ? 0 : 2;
    }
  }
  if (port <= 0 || port > 65535) {
    std::fprintf(stderr, "quillbark-played-vendor: the port must be between 1 and 65535\n");
    return 2;
  }
  // The signals wait for sigwait below, in every thread the server starts.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    TestVendorService service(port);
    PlayedVendorService::seed(service);
    std::printf("The vendor's service: %s (user %s, password %s)\n", service.server().baseURL().c_str(),
                PlayedVendorService::kUser, PlayedVendorService::kPassword);
    std::printf("Start the application with --vendor-service %s\n", service.server().baseURL().c_str());
    std::printf("Stop with Ctrl-C.\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
    // What broke the service's protocol, for whoever tries the screens against it.
    for (const auto& violation : service.violations()) std::fprintf(stderr, "protocol: %s\n", violation.c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillbark-played-vendor: %s (is another one running?)\n", e.what());
    return 1;
  }
  return 0;
}
