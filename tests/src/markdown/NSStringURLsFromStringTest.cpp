#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markdown/NSStringURLsFromString.h"

using markdown::NSStringURLsFromString::URLs;

namespace {

std::vector<std::string> texts(std::string_view text) {
  std::vector<std::string> out;
  for (const URL& url : URLs(text)) out.push_back(url.absoluteString());
  return out;
}

}  // namespace

TEST(NSStringURLsFromStringTest, NothingToFind) {
  EXPECT_TRUE(URLs("").empty());
  EXPECT_TRUE(URLs("no address here").empty());
  EXPECT_TRUE(URLs("ftp://files.example.com/a").empty());
  EXPECT_TRUE(URLs("http:// and https://").empty());
}

TEST(NSStringURLsFromStringTest, AddressesInOrderWithDuplicates) {
  using V = std::vector<std::string>;
  EXPECT_EQ(texts("Get it at HTTPS://REPO.Example.COM/path/x.deb?x=1&y=2 now, thanks"),
            V{"HTTPS://REPO.Example.COM/path/x.deb?x=1&y=2"});
  EXPECT_EQ(texts("http://a.com http://b.com\nhttp://a.com"), (V{"http://a.com", "http://b.com", "http://a.com"}));
  EXPECT_EQ(texts("http://a.com/some-path"), V{"http://a.com/some"});
  EXPECT_EQ(texts("(http://a.com:8080/x)"), V{"http://a.com:8080/x"});
  EXPECT_EQ(URLs("https://repo.example.com:8443/")[0].port(), 8443);
  EXPECT_EQ(URLs("https://repo.example.com/")[0].host(), "repo.example.com");
}

TEST(NSStringURLsFromStringTest, TextTheURLParserRefusesIsSkipped) {
  // A query runs to the next blank; with a quote in it the parser refuses the address.
  EXPECT_TRUE(URLs("http://a.com/?q=\"x\"").empty());
  EXPECT_EQ(texts("http://a.com/?q=\"x\" http://b.com"), std::vector<std::string>{"http://b.com"});
}
