// The README's sessions, run as written: the example at the prompt, and the road from a
// repository made by its shell lines to an installed package. Every command in them
// must work.
#include <cctype>
#include <set>

#include "ReadmeSessions.h"
#include "foundation/Files.h"
#include "foundation/Value.h"
#include "support/PlayedOutsideStore.h"
#include "support/PlayedPaidRepository.h"
#include "support/TempDir.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/TestVendorService.h"

namespace {
using namespace ReadmeSessions;

// The README lists what is not built: every screen the root still makes as a placeholder,
// and no screen that is built. (Read from the root's source, where each placeholder has
// its line.)
TEST(ReadmeExampleTest, WhatItDoesNotDoNamesEveryPlaceholderAndNothingBuilt) {
  std::string notBuilt = section(readme(), "What it doesn't do (yet)");
  std::string root = Files::readText(QB_SOURCE_DIR "/src/app/KVRootScreens.cpp").value_or("");
  ASSERT_FALSE(notBuilt.empty());
  std::set<std::string> placeholders;
  for (const std::string opening : {"placeholder(\"", "KVPlaceholderViewController>(\""})
    for (size_t at = root.find(opening); at != std::string::npos; at = root.find(opening, at + 1)) {
      size_t start = at + opening.size();
      std::string name = root.substr(start, root.find('"', start) - start);
      if (name.find(' ') == std::string::npos) placeholders.insert(name);  // not the fallback of an unknown tab
    }
  if (placeholders.empty()) {
    EXPECT_NE(notBuilt.find("Every screen is\nbuilt"), std::string::npos) << "no placeholder is left: the README says so";
  }
  std::string lowered = notBuilt;
  for (char& c : lowered) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const std::string& name : placeholders) {
    std::string lowerName = name;
    for (char& c : lowerName) c = char(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_NE(lowered.find(lowerName), std::string::npos) << name << " is not built yet: the README says so";
  }
  for (size_t at = notBuilt.find('`'); at != std::string::npos; at = notBuilt.find('`', at + 1)) {
    size_t end = notBuilt.find('`', at + 1);
    std::string name = notBuilt.substr(at + 1, end - at - 1);
    at = end;
    if (name.size() > 10 && name.compare(name.size() - 10, 10, "Controller") == 0) {
      EXPECT_TRUE(placeholders.count(name)) << name << " is built: the README must not list it as missing";
    }
  }
}

TEST(ReadmeExampleTest, TheExampleSessionRunsAsWritten) {
  std::string script = typedLines(section(readme(), "The two commands"));
  ASSERT_GE(std::count(script.begin(), script.end(), '\n'), 4) << "the README shows a session at the prompt";
  TempDir dir;
  auto outcome = ApplicationProcess::runScript(dir.file("device"), script);
  EXPECT_EQ(outcome.status, 0) << "a command of the README fails:\n" << script << outcome.output;
  EXPECT_EQ(outcome.output.find("> !"), std::string::npos) << script << outcome.output;
}

// A newcomer's road, typed at a terminal: the shell lines make the repository, the
// session walks the first run, adds the repository, queues the tool and confirms;
// both archives end up installed by the real apt-get and dpkg.
TEST(ReadmeExampleTest, TheRoadToAnInstalledPackageRunsAsWritten) {
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(makeRoadRepository(dir));
  std::string road = section(readme(), "Adding a repository and installing a package by hand");
  TestHttpServer server;
  server.serveFolder(dir.file("repo"), "/repo/");
  ASSERT_NE(road.find("busybox httpd -f -p 127.0.0.1:8080 -h /tmp/repo &"), std::string::npos) << road;
  std::string script = typedLines(road);
  replaceAll(script, "http://127.0.0.1:8080/", server.url("/repo/"));
  TypedSession session(dir.file("my-device"));
  ASSERT_TRUE(session.started()) << session.output();
  ASSERT_NO_FATAL_FAILURE(session.pasteAll(script));
  auto installed = installedPackages(dir, "my-device");
  EXPECT_NE(installed.output.find("com.example.lib installed\n"), std::string::npos) << installed.output;
  EXPECT_NE(installed.output.find("com.example.tool installed\n"), std::string::npos) << installed.output;
}

// The road through a package's page: the heart, the collapsing header, GET, the in-app
// browser, the install by the card, then UNINSTALL and a rating on the reopened page.
TEST(ReadmeExampleTest, TheRoadThroughAPackagesPageRunsAsWritten) {
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(makeRoadRepository(dir));
  std::string page = section(readme(), "A package's page");
  TestHttpServer server;
  server.serveFolder(dir.file("repo"), "/repo/");
  std::string script = typedLines(page);
  replaceAll(script, "http://127.0.0.1:8080/", server.url("/repo/"));
  TypedSession session(dir.file("page-device"));
  ASSERT_TRUE(session.started()) << session.output();
  ASSERT_NO_FATAL_FAILURE(session.pasteAll(script));
  std::string shown = session.output();
  EXPECT_NE(shown.find("| [Fav]"), std::string::npos) << "the heart";
  EXPECT_NE(shown.find("| [QUEUED]"), std::string::npos) << "the collapsed header's button";
  EXPECT_NE(shown.find("title: Me's website"), std::string::npos) << "the browser";
  EXPECT_NE(shown.find("[UNINSTALL]"), std::string::npos) << shown;
  EXPECT_NE(shown.find("3 out of 5 rating"), std::string::npos);
  EXPECT_NE(installedPackages(dir, "page-device").output.find("com.example.tool installed\n"), std::string::npos);
}

// The stores, typed at a terminal as the README shows them, against the stores its
// command plays: the paid repository's sign-in, purchases and sign-out, and the outside
// store's own sign-in form, its purchases and its sign-out.
TEST(ReadmeExampleTest, TheStoresRunAsWritten) {
  std::string text = section(readme(), "The stores by hand");
  ASSERT_NE(text.find("    scripts/play-stores &\n"), std::string::npos) << text;
  ASSERT_NE(text.find("--outside-store http://127.0.0.1:8091/\n"), std::string::npos) << text;
  TempDir dir;
  TestHttpServer repositoryServer, storeServer;
  PlayedPaidRepository repository(repositoryServer, dir.file("repo"));
  PlayedOutsideStore store(storeServer);
  store.setPurchases({"com.example.glow"});
  std::string script = typedLines(text);
  replaceAll(script, "http://127.0.0.1:8090/repo/", repository.location());
  TypedSession session(dir.file("store-device"), {"--outside-store", store.location()});
  ASSERT_TRUE(session.started()) << session.output();
  ASSERT_NO_FATAL_FAILURE(session.pasteAll(script));
  std::string seen = session.output();
  std::erase(seen, '\r');
  EXPECT_NE(seen.find("0.0: Glow | Example Shop | >\n  0.1: Shade"), std::string::npos) << "the repository's purchases";
  EXPECT_NE(seen.find("Ann\nann@example.org\n[Logout]"), std::string::npos) << "the pull's labels";
  EXPECT_NE(seen.find("field \"User name\": "), std::string::npos) << "the store's form";
  EXPECT_EQ(repositoryServer.requestCount("/repo/api/sign_out"), 1u);
  EXPECT_EQ(storeServer.requestCount("/login"), 1u);
  EXPECT_EQ(storeServer.requestCount("/api/invalidate"), 1u);
  EXPECT_FALSE(store.signedIn());
}

// The settings and a local archive, as the README shows them: its shell lines make the
// archive, the session switches the palette, installs the archive and changes the
// language.
TEST(ReadmeExampleTest, TheSettingsAndALocalPackageRunAsWritten) {
  std::string part = section(readme(), "Settings and a local package by hand");
  size_t block = part.find("\n\n    mkdir");
  ASSERT_NE(block, std::string::npos) << part;
  std::string shell = part.substr(block + 2, part.find("\n    scripts/run", block) - block - 2);
  TempDir dir;
  replaceAll(shell, "/tmp/", dir.path() + "/");
  auto made = Process::run("/bin/sh", {"-ec", shell});
  ASSERT_EQ(made.status, 0) << shell << "\n" << made.output;
  std::string script = typedLines(part);
  replaceAll(script, "/tmp/", dir.path() + "/");
  TypedSession session(dir.file("settings-device"));
  ASSERT_TRUE(session.started()) << session.output();
  ASSERT_NO_FATAL_FAILURE(session.pasteAll(script));
  std::string seen = session.output();
  std::erase(seen, '\r');
  // In French; the black palette's row may lie under the card of the first run's refreshes,
  // still running on a busy machine, so its choice is read where it is kept.
  EXPECT_NE(seen.find("1.1: Mode sombre bleu | | [off]"), std::string::npos) << "in French" << seen;
  EXPECT_NE(Files::readText(dir.file("settings-device/var/mobile/Library/Application Support/Quillbark/"
                                     "me.korvale.quillbark.plist"))
                .value_or("")
                .find("<key>TrueDarkMode</key>\n\t<true/>"),
            std::string::npos)
      << "black";
  auto installed = Process::run("/usr/bin/dpkg-query",
                                {"--admindir=" + dir.file("settings-device/var/lib/dpkg"), "-W", "com.example.hello"});
  EXPECT_EQ(installed.output, "com.example.hello:iphoneos-arm\t1.0\n") << seen;
}

// Browsing, typed at a terminal as the README shows it: the shared test data's
// repositories and the README's own featured list played on 127.0.0.1. A banner's "Add
// Source" adds and refreshes its repository, the cards fill, the carousel moves on by
// itself, a banner opens its package, the categories tab folds its groups, a category
// lists its packages, and so does a source of the manage tab; the banner pictures are
// kept as PNG.
TEST(ReadmeExampleTest, TheBrowsingRunsAsWritten) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string text = section(readme(), "Browsing by hand");
  ASSERT_NE(text.find("busybox httpd -f -p 127.0.0.1:8080 -h ../shared/testdata/repos &"), std::string::npos) << text;
  ASSERT_NE(text.find("--vendor-service http://127.0.0.1:8081\n"), std::string::npos) << text;
  size_t begin = text.find("<<'EOF'\n");
  ASSERT_NE(begin, std::string::npos) << text;
  begin += 8;
  std::string json = "\n" + text.substr(begin, text.find("\n    EOF\n", begin) - begin);
  replaceAll(json, "\n    ", "\n");
  TestHttpServer repositories;
  repositories.serveFolder(repos, "/");
  replaceAll(json, "http://127.0.0.1:8080/", repositories.url("/"));
  auto featured = Value::fromJSON(json);
  ASSERT_TRUE(featured && featured->isDictionary()) << json;
  TestVendorService service;
  service.setFeatured(*featured);

  std::string script = typedLines(text);
  replaceAll(script, "http://127.0.0.1:8080/", repositories.url("/"));
  TempDir dir;
  TypedSession session(dir.file("browse-device"), {"--vendor-service", service.server().baseURL()});
  ASSERT_TRUE(session.started()) << session.output();
  ASSERT_NO_FATAL_FAILURE(session.pasteAll(script));
  std::string seen = session.output();
  std::erase(seen, '\r');
  EXPECT_NE(seen.find("Most Downloaded\ntable: 2 rows\n  0.0: YouPiP | PoomSmart |"), std::string::npos) << seen;
  EXPECT_NE(seen.find("0.3: Anywhere Widgets for iPad · "), std::string::npos) << "the carousel moved on: " << seen;
  EXPECT_NE(seen.find("title: Anywhere Widgets for iPad\n"), std::string::npos) << "the banner's page";
  // The categories are the tab's second table: their rows are numbered after the first's.
  EXPECT_NE(seen.find("  1.1: Addons (Flipswitch) | | >\n"), std::string::npos) << "the add-ons opened";
  EXPECT_EQ(seen.find("  1.1: Addons (Flipswitch)", seen.find("> > tap Tweaks")), std::string::npos) << "and closed";
  EXPECT_NE(seen.find("EFM Font Downloader | 1."), std::string::npos) << "Fonts (EFM)'s packages";
  EXPECT_NE(seen.find("title: EFM Font Downloader\n"), std::string::npos);
  EXPECT_NE(seen.find("-- Source categories --\n  0.0: All Packages | | >\n"), std::string::npos) << "from the manage tab";
  std::string cache = dir.file("browse-device/var/mobile/Library/Application Support/Quillbark/HomeCache");
  auto pictures = Files::contentsOfDirectory(cache);
  ASSERT_EQ(pictures.size(), 5u) << cache;
  for (const auto& name : pictures) {
    EXPECT_EQ(name.find('/'), std::string::npos);
    EXPECT_EQ(Files::readText(cache + "/" + name).value_or("").substr(0, 4), "\x89PNG") << name;
  }
}
}  // namespace
