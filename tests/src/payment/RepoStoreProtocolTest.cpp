#include <gtest/gtest.h>

#include "payment/KVRepoStoreProtocol.h"

using namespace KVRepoStoreProtocol;

TEST(RepoStoreProtocol, AddressesJoinWithExactlyOneSlash) {
  EXPECT_EQ(joinAddress("https://pay.example.com/api/", "user_info"), "https://pay.example.com/api/user_info");
  EXPECT_EQ(joinAddress("https://pay.example.com/api", "user_info"), "https://pay.example.com/api/user_info");
  EXPECT_EQ(joinAddress("https://pay.example.com/api//", "/info"), "https://pay.example.com/api/info");
  EXPECT_EQ(joinAddress("  https://pay.example.com\n", "info"), "https://pay.example.com/info");
  EXPECT_EQ(joinAddress("https://", "info"), "https:///info") << "the scheme's slashes stay";
}

TEST(RepoStoreProtocol, EndpointValidity) {
  EXPECT_TRUE(isURL("https://pay.example.com/api/"));
  EXPECT_TRUE(isURL("http://127.0.0.1:8080/"));
  EXPECT_FALSE(isURL("pay.example.com/api/"));
  EXPECT_FALSE(isURL("ftp://pay.example.com/"));
  EXPECT_FALSE(isURL("https:///nohost"));
  EXPECT_FALSE(isURL("https://pay example.com/"));
}

TEST(RepoStoreProtocol, MembersOfTheWrongTypeCountAsAbsent) {
  Value json = *Value::fromJSON(R"({"a":true,"b":1,"c":"true","d":[1],"e":null,"t":"text","n":5,"error":7})");
  EXPECT_TRUE(boolMember(json, "a"));
  EXPECT_TRUE(boolMember(json, "b"));
  EXPECT_TRUE(boolMember(json, "c"));
  EXPECT_FALSE(boolMember(json, "d"));
  EXPECT_FALSE(boolMember(json, "e"));
  EXPECT_FALSE(boolMember(json, "missing"));
  EXPECT_EQ(textMember(json, "t"), "text");
  EXPECT_EQ(textMember(json, "n"), "");
  EXPECT_FALSE(errorMember(json, 200));

  RepoStoreVendorInfoResponse vendor;
  readVendorInfo(*Value::fromJSON(R"({"name":["x"],"authentication_banner":"text","icon":"not a url"})"), 200, vendor);
  EXPECT_EQ(vendor.name, "");
  ASSERT_TRUE(vendor.authenticationInfo);
  EXPECT_EQ(vendor.authenticationInfo->message, "");
  EXPECT_FALSE(vendor.icon);

  RepoStorePackagePurchaseResponse purchase;
  readPurchase(*Value::fromJSON(R"({"status":"1","url":"https://x.example.com/"})"), 200, purchase);
  EXPECT_EQ(purchase.status, -1) << "a status that is no number is no status";
  EXPECT_FALSE(purchase.url);
}

TEST(RepoStoreProtocol, RequestsCarryJSONHeadersAndLength) {
  URLRequest request = makeRequest(URL::fromString("https://pay.example.com/api/sign_out"), "POST",
                                   Value::dict({{"token", "abc"}}));
  EXPECT_EQ(request.HTTPMethod(), "POST");
  EXPECT_EQ(request.valueForHTTPHeaderField("Accept").value_or(""), "application/json");
  EXPECT_EQ(request.valueForHTTPHeaderField("Content-Type").value_or(""), "application/json");
  EXPECT_EQ(stringFromData(request.HTTPBody()), R"({"token":"abc"})");
  EXPECT_EQ(request.valueForHTTPHeaderField("Content-Length").value_or(""), "15");
  EXPECT_EQ(request.timeoutInterval(), 30);
  URLRequest get = makeRequest(URL::fromString("https://pay.example.com/api/info"), "GET");
  EXPECT_FALSE(get.valueForHTTPHeaderField("Content-Length"));
  EXPECT_TRUE(get.HTTPBody().empty());
}
