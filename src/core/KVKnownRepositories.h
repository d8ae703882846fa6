#pragma once
// The fixed repository locations that the APT layer and the refresh treat apart from
// flat repositories. Each ends in "/"; the hosts are this installation's choice, under
// the reserved ".example" name. They are settings: tests point them at 127.0.0.1.
#include <string>

namespace KVKnownRepositories {

struct Locations {
  // Older repositories whose sources-list line has the "stable main" layout.
  std::string largeDefaultRepository = "http://apt.bigrepo.example/repofiles/cydia/";
  std::string archivedRepositoryA = "http://apt.archived-a.example/";
  std::string archivedRepositoryB = "http://archived-b.example/repo/cydia/";
  std::string storeRepository = "http://apt.store.example/";
  // The bootstrap repository of the unc0ver and checkra1n tools, in its two forms; both
  // are served from the second, which its sources-list line names.
  std::string unc0verBootstrapHTTP = "http://apt.bootstrap-u.example/";
  std::string unc0verBootstrapHTTPS = "https://apt.bootstrap-u.example/";
  // The bootstrap repository of the electra and chimera tools.
  std::string electraBootstrap = "https://apt.bootstrap-e.example/";
  // A mirror of the store that serves archived repository A's index (no final "/").
  std::string mirrorHost = "http://mirror.store.example";
  // The outside package store's web site, whose information pages ("/info/<identifier>/")
  // depict the packages of the store's repository and archived repository A (no final "/").
  std::string outsideStore = "http://www.store.example";
};

Locations current();
void setLocations(Locations locations);
void resetLocations();

}  // namespace KVKnownRepositories
