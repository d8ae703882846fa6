// The README's sessions on the shared test data's repositories, pasted at a terminal
// exactly as written: a package's depictions, the wishlist, developers and reviews, and
// the manage, changes and search tabs. Their servers are those the README starts, on
// ports of the test's own.
#include "ReadmeSessions.h"
#include "support/PlayedVendorService.h"
#include "support/TestData.h"
#include "support/TestHttpServer.h"
#include "support/TestVendorService.h"

namespace {
using namespace ReadmeSessions;

// The lines of the shell block after `lead` that make files (up to the first line
// that serves them or starts the application), with the README's places moved into
// the test's own.
std::string makingLines(const std::string& text, const std::string& lead,
                        const std::vector<std::pair<std::string, std::string>>& moves) {
  size_t at = text.find(lead + "\n\n");
  if (at == std::string::npos) return {};
  std::string shell;
  for (at += lead.size() + 2; text.compare(at, 4, "    ") == 0;) {
    size_t end = text.find('\n', at);
    std::string line = text.substr(at + 4, end - at - 4);
    if (line.rfind("busybox httpd", 0) == 0 || line.rfind("scripts/", 0) == 0 || line.rfind("> ", 0) == 0) break;
    shell += line + "\n";
    at = end + 1;
  }
  for (const auto& [from, to] : moves) replaceAll(shell, from, to);
  return shell;
}

// PoomSmart's repository as the depictions' section makes it, served by `server`.
void makePoomSmartRepository(TempDir& dir, const std::string& testdataRoot, TestHttpServer& server) {
  std::string shell = makingLines(section(readme(), "A package's depictions"), "pictures where its depictions name them:",
                                  {{"/tmp/", dir.path() + "/"},
                                   {"../shared/testdata/", testdataRoot + "/"},
                                   {"http://127.0.0.1:8081/", server.url("/")}});
  ASSERT_NE(shell.find("mkdir"), std::string::npos) << "the section makes the repository";
  auto made = Process::run("/bin/sh", {"-ec", shell});
  ASSERT_EQ(made.status, 0) << shell << "\n" << made.output;
  server.serveFolder(dir.file("poom"), "/");
}

std::string paste(TypedSession& session, const std::string& script) {
  EXPECT_TRUE(session.started()) << session.output();
  session.pasteAll(script);
  std::string shown = session.output();
  std::erase(shown, '\r');
  return shown;
}

TEST(ReadmeRoadsTest, TheDepictionsRunAsWritten) {
  QB_TESTDATA_OR_SKIP(root, ".");
  TempDir dir;
  TestHttpServer poom;
  ASSERT_NO_FATAL_FAILURE(makePoomSmartRepository(dir, root, poom));
  std::string script = typedLines(section(readme(), "A package's depictions"));
  replaceAll(script, "http://127.0.0.1:8081/", poom.url("/"));
  TypedSession session(dir.file("depiction-device"));
  std::string shown = paste(session, script);
  EXPECT_NE(shown.find("What's New\n1.2.4\nVersion 1.2.4"), std::string::npos) << "the native depiction";
  EXPECT_NE(shown.find("  0.1: Screenshot 2\n"), std::string::npos) << "the screenshots";
  EXPECT_NE(shown.find("web page: Amber (" + poom.url("/depictions/amber.html)")), std::string::npos) << shown;
}

TEST(ReadmeRoadsTest, TheWishlistDevelopersAndReviewsRunAsWritten) {
  QB_TESTDATA_OR_SKIP(root, ".");
  TempDir dir;
  ASSERT_NO_FATAL_FAILURE(makeRoadRepository(dir));
  TestHttpServer tool, poom;
  tool.serveFolder(dir.file("repo"), "/");
  ASSERT_NO_FATAL_FAILURE(makePoomSmartRepository(dir, root, poom));
  std::string text = section(readme(), "The wishlist, developers and reviews by hand");
  ASSERT_NE(text.find("scripts/play-vendor-service --port 8082 --user ann:secret --developer"), std::string::npos) << text;
  TestVendorService service;
  PlayedVendorService::seed(service);
  service.addUser({1, "ann", "secret", "", "", "", ""});
  size_t profile = text.find("'{\"developer\"");
  ASSERT_NE(profile, std::string::npos) << text;
  std::string json = text.substr(profile + 1, text.find("}'", profile) - profile);
  replaceAll(json, "http://127.0.0.1:8080/", tool.url("/"));
  auto developer = Value::fromJSON(json);
  ASSERT_TRUE(developer && developer->isDictionary()) << json;
  service.addDeveloper(*developer);

  std::string script = typedLines(text);
  replaceAll(script, "http://127.0.0.1:8080/", tool.url("/"));
  replaceAll(script, "http://127.0.0.1:8081/", poom.url("/"));
  TypedSession session(dir.file("people-device"), {"--vendor-service", service.server().baseURL()});
  std::string shown = paste(session, script);
  EXPECT_NE(shown.find("title: Wishlist"), std::string::npos);
  EXPECT_NE(shown.find("0.0: PoomSmart | @PoomSmart |"), std::string::npos) << "followed";
  EXPECT_NE(shown.find("Does The Job | +0 -0 · ann · Small & neat"), std::string::npos) << "the review posted";
  EXPECT_NE(shown.find("+1 -0"), std::string::npos) << "the vote counted";
  EXPECT_EQ(service.violations(), std::vector<std::string>{});
}

TEST(ReadmeRoadsTest, TheManageChangesAndSearchTabsRunAsWritten) {
  QB_TESTDATA_OR_SKIP(repos, "repos");
  std::string text = section(readme(), "The manage, changes and search tabs by hand");
  ASSERT_NE(text.find("busybox httpd -f -p 127.0.0.1:8080 -h ../shared/testdata/repos &"), std::string::npos) << text;
  TestHttpServer repositories;
  repositories.serveFolder(repos, "/");
  TestVendorService service;
  PlayedVendorService::seed(service);
  std::string script = typedLines(text);
  replaceAll(script, "http://127.0.0.1:8080/", repositories.url("/"));
  TempDir dir;
  TypedSession session(dir.file("tabs-device"), {"--vendor-service", service.server().baseURL()});
  std::string shown = paste(session, script);
  // Where the prompt read the line (the terminal echoed the whole paste before).
  size_t removed = shown.find("> > swipe UTM Remove");
  ASSERT_NE(removed, std::string::npos) << shown;
  EXPECT_LT(shown.find("UTM | Virtual machines for iOS"), removed) << "listed before the swipe";
  std::string list = Files::readText(dir.file("tabs-device/var/mobile/Library/Application Support/Quillbark/APT/sources.list"))
                         .value_or("");
  EXPECT_NE(list.find(repositories.url("/nepeta/")), std::string::npos) << list;
  EXPECT_EQ(list.find("/utm/"), std::string::npos) << "removed with its APT line: " << list;
  EXPECT_NE(shown.find("0.0: libnepeta | "), std::string::npos) << "the search";
  EXPECT_NE(shown.find("title: Browse Repositories"), std::string::npos);
}
}  // namespace
