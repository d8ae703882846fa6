// Repository locations that would become options, another layout or a broken line of
// APT's sources list, or that name no web host, are refused, with the reason.
#include "core/KVSourceLocation.h"
#include "core/SourceLocations.h"

#include <gtest/gtest.h>

#include <vector>

TEST(SourceLocations, OrdinaryLocationsPass) {
  for (const char* ok : {"https://repo.example/", "http://127.0.0.1:8080/repo/", "https://repo.example/a%20b/",
                         "http://[::1]:8080/repo/", "https://r\xC3\xA9po.example/~user/a+b/", "https://x.example/a'b/",
                         "HTTPS://Repo.Example./", "http://user:pw@repo.example:65535/", "http://[fe80::1]/"})
    EXPECT_TRUE(SourceLocations::isAcceptable(ok)) << ok << ": " << SourceLocations::refusal(ok).value_or("");
}

TEST(SourceLocations, BlanksControlsAndAPTsOwnMarksAreRefused) {
  const std::string base = "https://repo.example/a/";
  for (const std::string& bad : std::vector<std::string>{std::string(), "[trusted=yes] " + base, "[arch=x]" + base, base + " stable main #",
                                base + "\v", base + "\f", base + "\t", base + "\r", base + "\n", base + '\0' + "x",
                                base + "\x7F", base + "\xC2\x85", base + "\xC2\xA0", base + "\xE2\x80\x83",
                                base + "\xE2\x80\xA8", base + "\xE3\x80\x80", base + "#frag", base + "a\"b",
                                "https://repo.example/a[b/", "https://repo.example/a]b/", "http://[::1/",
                                "http://x.example/[::1]/"}) {
    auto reason = SourceLocations::refusal(bad);
    EXPECT_TRUE(reason) << bad;
  }
  EXPECT_EQ(SourceLocations::refusal(base + "\f").value_or(""),
            "a source location can't hold a blank or a control character (U+000C)");
  EXPECT_EQ(SourceLocations::refusal("[trusted=yes] " + base).value_or(""),
            "a source location can't begin with \"[\", which APT reads as options");
}

TEST(SourceLocations, OnlyWebLocationsWithAHostAreSources) {
  EXPECT_EQ(SourceLocations::refusal("file:///etc/").value_or(""),
            "a source location must begin with http:// or https:// (not file://)");
  for (const char* bad : {"ftp://repo.example/", "repo.example/", "https://HTTP://127.0.0.1:8080/", "https:///path/",
                          "https://a..b/", "https://.a/", "https://host:0/", "https://host:99999/", "https://host:8x/",
                          "https://ho%73t/", "https://ho*st/", "http://[zz::1]/", "http://[::1]x/"})
    EXPECT_TRUE(SourceLocations::refusal(bad)) << bad;
  // A location typed after a scheme already there is named for what it is.
  EXPECT_EQ(SourceLocations::refusal("https://HTTP://127.0.0.1:8080/").value_or(""),
            "a source location can't hold a second scheme (http://) after its own");
  EXPECT_EQ(SourceLocations::withoutPrefilledScheme("https://http://127.0.0.1:8080/"), "http://127.0.0.1:8080/");
  EXPECT_EQ(SourceLocations::withoutPrefilledScheme("https://repo.example/a/http://b/"), "https://repo.example/a/http://b/");
  EXPECT_EQ(SourceLocations::normalized("HTTP://Repo.Example/A/"), "http://Repo.Example/A/");
  EXPECT_EQ(SourceLocations::normalized("repo.example/x://y"), "repo.example/x://y");
}

// The one location value: made from text by the check, kept as the records keep it.
TEST(SourceLocations, ALocationIsMadeOnceAsItIsKept) {
  auto made = KVSourceLocation::fromText("HTTPS://Repo.Example/apt");
  ASSERT_TRUE(made);
  EXPECT_EQ(made->text(), "https://Repo.Example/apt/");
  EXPECT_TRUE(made->isHTTPS());
  EXPECT_EQ(made->withoutScheme(), "Repo.Example/apt/");
  EXPECT_EQ(*made, *KVSourceLocation::fromText("https://Repo.Example/apt/"));
  auto refused = KVSourceLocation::fromText("file:///etc/");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error()->localizedDescription(), "a source location must begin with http:// or https:// (not file://)");
}
