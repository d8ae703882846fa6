#include <gtest/gtest.h>

#include <string>

#include "database/NSStringVersionCompare.h"

namespace vc = NSStringVersionCompare;

namespace {

int sign(int v) { return (v > 0) - (v < 0); }

// Checks the relation both ways round, so an asymmetric fault shows.
void expectOrder(std::string_view a, std::string_view b, int expected) {
  SCOPED_TRACE(std::string(a) + " vs " + std::string(b));
  EXPECT_EQ(sign(vc::compareVersion(a, b)), expected);
  EXPECT_EQ(sign(vc::compareVersion(b, a)), -expected);
}

TEST(VersionCompare, EqualForms) {
  expectOrder("1.0", "1.00", 0);
  expectOrder("1.0", "0:1.0", 0);
  expectOrder("1.0", "1.0-0", 0);
  expectOrder("00:1.0", "1.0", 0);
  expectOrder("010", "10", 0);
  expectOrder("1.01", "1.1", 0);
  expectOrder("1.0-0", "0:1.0-0", 0);
  expectOrder("", "", 0);
}

TEST(VersionCompare, EpochDominates) {
  expectOrder("1:0.1", "9.9", 1);
  expectOrder("2:1.0", "10:0.1", -1);
  expectOrder("01:1.0", "1:1.0", 0);
  expectOrder("1:1.0", "1.0", 1);
}

TEST(VersionCompare, RevisionRules) {
  expectOrder("1.0", "1.0-1", -1);
  expectOrder("1.0-1.2", "1.0-1.10", -1);
  expectOrder("1.0-2", "1.0-10", -1);
  // The last "-" starts the revision; earlier ones belong to the upstream version.
  expectOrder("1.0-beta-2", "1.0-beta-10", -1);
  expectOrder("1.0-beta-2", "1.0-alpha-10", 1);
  expectOrder("1.0-0~", "1.0", -1);
}

TEST(VersionCompare, TildeSortsBeforeEverything) {
  expectOrder("1.0~rc1", "1.0", -1);
  expectOrder("1.0~~", "1.0~", -1);
  expectOrder("1.0~~a", "1.0~", -1);
  expectOrder("1.0~", "1.0", -1);
  expectOrder("1.0~rc1", "1.0~rc2", -1);
  expectOrder("1.0~", "1.0-0", -1);
}

TEST(VersionCompare, LettersBeforeOtherBytes) {
  expectOrder("1.0a", "1.0.1", -1);
  expectOrder("1.0a", "1.0+", -1);
  expectOrder("1.0a", "1.0", 1);
  expectOrder("1.0A", "1.0a", -1);
  expectOrder("1.0+", "1.0.", -1);
  expectOrder("1.0", "1.0.", -1);
}

TEST(VersionCompare, NumbersByValue) {
  expectOrder("2.10", "2.9", 1);
  expectOrder("1.10", "1.9", 1);
  expectOrder("1.002", "1.1", 1);
  expectOrder("12345678901234567890", "12345678901234567891", -1);
  expectOrder("99999999999999999999999", "100000000000000000000000", -1);
  expectOrder("1.0.0", "1.0", 1);
}

// Texts that begin alike are compared past what they share: where the shared part ends
// inside a run of digits, at the end of one side's upstream version or at a "-" that
// only one side has again later, the answer is the one a walk from the start gives.
TEST(VersionCompare, SharedBeginnings) {
  expectOrder("0.9+ds-4", "0.9+ds0-3", 1);  // "ds" then a zero that weighs nothing
  expectOrder("1.1.1+dfsg-4+b1", "1.1.1+dfsg0-1", 1);
  expectOrder("2.36-9", "2.36-9+deb12u1", -1);
  expectOrder("2.36-9~bpo11+1", "2.36-9", -1);
  expectOrder("1.2.10-1", "1.2.9-1", 1);
  expectOrder("1.2.3-1-2", "1.2.3-1", 1);  // the upstream version runs on to the last "-"
  expectOrder("1.2.3-1-2", "1.2.3-10", 1);
  expectOrder("1:2.0-1", "1:2.0-1+b1", -1);
  expectOrder("10:2.0", "1:2.0", 1);
  expectOrder("1:2.0", "1:10.0", -1);
  expectOrder("-1", "0-1", -1);  // an empty upstream version
  expectOrder("1.0000", "1.0", 0);
  expectOrder("1.0000-1", "1.0-1", 0);
}

// Most pairs are settled from their first eight bytes; what lies past them can still
// decide: a ":" making an epoch, a digit run running on, a "-" ending the upstream.
TEST(VersionCompare, BytesPastTheFirstEightCount) {
  expectOrder("1.2.3.4.5:6", "2", 1);
  expectOrder("1.2.3.4.5.6.7.8.9.10.11.12:0", "2", 1);
  expectOrder("0.1.2.3.4.5.6.7.8.9:0", "0.2", 1);
  expectOrder("123456789", "99999999", 1);
  expectOrder("1234567-1", "123456789", -1);
  expectOrder("1.000000001", "1.1a", -1);
  expectOrder("0.1.6-1", "0.1-3", 1);
  expectOrder("1.0-2-3", "1.0-3", 1);
  expectOrder("1:1.0", "2.0", 1);
  expectOrder("0:2.0", "1.0", 1);
  expectOrder("1.0.0~alpha.5-3", "1.0.0-5", -1);
}

TEST(VersionCompare, AbsentVersionIsEmptyText) {
  expectOrder(std::string_view{}, "0", -1);
  expectOrder(std::string_view{}, "", 0);
  expectOrder(std::string_view{}, "~", 1);
}

TEST(VersionCompare, HighBytesWeighAsSignedChar) {
  // 0x80 and above weigh 128..255: after letters, before "." (302) and "+" (299).
  expectOrder("1.0\x80", "1.0z", 1);
  expectOrder("1.0\x80", "1.0.", -1);
  expectOrder("1.0\xff", "1.0\x80", 1);
  expectOrder("1.0\xc3\xa9", "1.0+", -1);
}

TEST(VersionCompare, ArbitraryBytesHaveAPlace) {
  expectOrder("::", ":", 1);
  expectOrder("-", "", -1);  // an empty revision is older than the implied "0"
  expectOrder("a:b-c", "a:b-c", 0);
  expectOrder(std::string_view("1.0\0x", 5), std::string_view("1.0\0x", 5), 0);
}

TEST(VersionCompare, OperatorsAndWrappers) {
  EXPECT_TRUE(vc::greaterThan("1.1", "1.0"));
  EXPECT_FALSE(vc::greaterThan("1.0", "1.0"));
  EXPECT_TRUE(vc::equalToOrGreaterThan("1.0", "1.0"));
  EXPECT_TRUE(vc::lessThan("1.0", "1.1"));
  EXPECT_TRUE(vc::equalToOrLessThan("1.0", "1.00"));
  EXPECT_TRUE(vc::equalTo("1.0", "0:1.0-0"));
  EXPECT_FALSE(vc::equalTo("1.0", "1.1"));
  for (int op = 0; op <= 4; ++op) {
    int c = vc::compareVersion("2.0", "1.0");
    bool expected[] = {c == 0, c > 0, c >= 0, c < 0, c <= 0};
    EXPECT_EQ(vc::compareTo("2.0", "1.0", op), expected[op]) << op;
  }
}

TEST(VersionCompare, AlwaysOperatorAndInvalidOperator) {
  EXPECT_TRUE(vc::compareTo("1.0", "2.0", vc::kAlways));
  EXPECT_TRUE(vc::compareTo("", "anything", 5));
  testing::internal::CaptureStderr();
  bool r = vc::compareTo("1.0", "1.0", 7);
  std::string log = testing::internal::GetCapturedStderr();
  EXPECT_FALSE(r);
  EXPECT_NE(log.find("(*** Quillbark 5 ***) "), std::string::npos) << log;
  EXPECT_NE(log.find("invalid compare_op '7'"), std::string::npos) << log;
}

TEST(VersionCompare, TwinsAnswerNoForAbsentFirstVersion) {
  EXPECT_FALSE(vc::versionIsGreaterThan(std::nullopt, ""));
  EXPECT_FALSE(vc::versionIsLessThan(std::nullopt, "1"));
  EXPECT_FALSE(vc::versionIsEqualTo(std::nullopt, ""));
  EXPECT_FALSE(vc::versionIsEqualOrGreaterThan(std::nullopt, ""));
  EXPECT_FALSE(vc::versionIsEqualOrLessThan(std::nullopt, "9"));
  EXPECT_TRUE(vc::versionIsGreaterThan("1.1", "1.0"));
  EXPECT_TRUE(vc::versionIsLessThan("1.0~", "1.0"));
  EXPECT_TRUE(vc::versionIsEqualTo("1.0", "1.00"));
  EXPECT_TRUE(vc::versionIsEqualOrGreaterThan("1.0", "1.0"));
  EXPECT_TRUE(vc::versionIsEqualOrLessThan("1.0", "1:0"));
}

TEST(VersionCompare, SortingIsATotalOrder) {
  std::vector<std::string> v = {"1.0", "1.0~rc1", "1:0.1", "1.0-1", "1.0a", "1.0.1",
                                "0.9", "1.0+b1", "1.0~~", "2.0", "1.0-0.1", "1.10"};
  // Transitivity over every triple: a < b and b < c imply a < c.
  for (auto& a : v)
    for (auto& b : v)
      for (auto& c : v)
        if (vc::lessThan(a, b) && vc::lessThan(b, c)) {
          EXPECT_TRUE(vc::lessThan(a, c)) << a << " " << b << " " << c;
        }
}

}  // namespace
