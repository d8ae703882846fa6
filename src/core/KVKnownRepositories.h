#pragma once
// The fixed repository locations that the APT layer and the refresh treat apart from
// flat repositories. Each ends in "/"; the hosts are this installation's choice.
namespace KVKnownRepositories {
// Older repositories whose sources-list line has the "stable main" layout.
inline constexpr const char* kLargeDefaultRepository = "http://apt.bigrepo.example/repofiles/cydia/";
inline constexpr const char* kArchivedRepositoryA = "http://apt.archived-a.example/";
inline constexpr const char* kArchivedRepositoryB = "http://archived-b.example/repo/cydia/";
inline constexpr const char* kStoreRepository = "http://apt.store.example/";
// The bootstrap repository of the unc0ver and checkra1n tools, in its two forms, and
// the host its sources-list line always names (over https).
inline constexpr const char* kUnc0verBootstrapHTTP = "http://apt.bootstrap-u.example/";
inline constexpr const char* kUnc0verBootstrapHTTPS = "https://apt.bootstrap-u.example/";
inline constexpr const char* kUnc0verBootstrapHost = "apt.bootstrap-u.example";
// The bootstrap repository of the electra and chimera tools.
inline constexpr const char* kElectraBootstrap = "https://apt.bootstrap-e.example/";
// A mirror of the store that serves archived repository A's index (no final "/").
inline constexpr const char* kMirrorHost = "http://mirror.store.example";
}  // namespace KVKnownRepositories
