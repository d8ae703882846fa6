// quillbark-played-stores: plays the two kinds of store on 127.0.0.1 for a person at the
// terminal (the README's "The stores by hand"): a paid repository with its payment
// service on PORT (8090 unless --port says otherwise) and the outside package store on
// PORT+1. It runs until Ctrl-C or SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "support/PlayedOutsideStore.h"
#include "support/PlayedPaidRepository.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"

int main(int argc, char** argv) {
  int port = 8090;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--port" && i + 1 < argc) {
      port = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: quillbark-played-stores [--port PORT]   (the paid repository on PORT, the store on PORT+1)\n");
      return arg == "--help" ? 0 : 2;
    }
  }
  if (port <= 0 || port >= 65535) {
    std::fprintf(stderr, "quillbark-played-stores: the port must be between 1 and 65534\n");
    return 2;
  }
  // The signals wait for sigwait below, in every thread the servers start.
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, nullptr);
  try {
    TempDir folder;
    TestHttpServer repositoryServer(TestHttpConnections::KeepAlive, port);
    TestHttpServer storeServer(TestHttpConnections::KeepAlive, port + 1);
    PlayedPaidRepository repository(repositoryServer, folder.file("repo"));
    PlayedOutsideStore store(storeServer);
    store.setPurchases({"com.example.glow"});
    std::printf("A paid repository: %s (its payment service signs you in at once)\n", repository.location().c_str());
    std::printf("The outside store: %s (user %s, password %s)\n", store.location().c_str(), PlayedOutsideStore::kUser,
                PlayedOutsideStore::kPassword);
    std::printf("Stop with Ctrl-C.\n");
    std::fflush(stdout);
    int signal = 0;
    sigwait(&stop, &signal);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quillbark-played-stores: %s (is another one running?)\n", e.what());
    return 1;
  }
  return 0;
}
