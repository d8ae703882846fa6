// Reachability lives in the system library; its tests sit here with the other
// device-state stand-ins.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "system/Reachability.h"

namespace {
struct OverrideGuard {
  ~OverrideGuard() { Reachability::clearOverride(); }
};
}  // namespace

TEST(Reachability, StatusFollowsTheFlags) {
  OverrideGuard guard;
  auto r = Reachability::reachabilityForInternetConnection();
  ASSERT_TRUE(r);
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsIsWWAN);
  EXPECT_EQ(r->currentReachabilityStatus(), ReachableViaWWAN);
  EXPECT_TRUE(r->isReachableViaWWAN());
  EXPECT_EQ(r->currentReachabilityString(), "Cellular");
  r->setReachableOnWWAN(false);
  EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);
  r->setReachableOnWWAN(true);
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
  EXPECT_EQ(r->currentReachabilityStatus(), ReachableViaWiFi);
  EXPECT_EQ(r->currentReachabilityString(), "WiFi");
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable | kSCNetworkReachabilityFlagsTransientConnection |
                              kSCNetworkReachabilityFlagsConnectionRequired);
  EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);
  Reachability::overrideFlags(0);
  EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);
  EXPECT_EQ(r->currentReachabilityString(), "No Connection");
  Reachability::overrideFlagReadFailure();
  EXPECT_EQ(r->currentReachabilityStatus(), NotReachable);
  EXPECT_EQ(r->reachabilityFlags(), 0u);
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsConnectionRequired |
                              kSCNetworkReachabilityFlagsConnectionOnDemand |
                              kSCNetworkReachabilityFlagsInterventionRequired);
  EXPECT_TRUE(r->isConnectionOnDemand());
  EXPECT_TRUE(r->isInterventionRequired());
  EXPECT_TRUE(r->connectionRequired());
}

TEST(Reachability, FlagLetters) {
  EXPECT_EQ(Reachability::flagsString(0), "-- -------");
  EXPECT_EQ(Reachability::flagsString(0x1 | 0x2 | 0x4 | 0x8 | 0x10 | 0x20 | 0x10000 | 0x20000 | 0x40000), "WR ctiCDld");
  auto r = Reachability::reachabilityForInternetConnection();
  EXPECT_EQ(r->currentReachabilityFlags().size(), 10u);
  EXPECT_EQ(r->description().rfind("<Reachability: 0x", 0), 0u);
}

TEST(Reachability, ThisMachineCountsAsReachableEvenWithOnlyLoopback) {
  auto r = Reachability::reachabilityForInternetConnection();
  EXPECT_EQ(r->currentReachabilityStatus(), ReachableViaWiFi);
  sockaddr_in loop{};
  loop.sin_family = AF_INET;
  loop.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto local = Reachability::reachabilityWithAddress(reinterpret_cast<sockaddr*>(&loop));
  ASSERT_TRUE(local);
  EXPECT_TRUE(local->reachabilityFlags() & kSCNetworkReachabilityFlagsIsLocalAddress);
  EXPECT_TRUE(Reachability::reachabilityWithHostname("localhost")->isReachable());
  EXPECT_FALSE(Reachability::reachabilityWithHostname(""));
}

TEST(Reachability, ARunningNotifierReportsChanges) {
  OverrideGuard guard;
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
  auto r = Reachability::reachabilityForInternetConnection();
  std::mutex m;
  std::condition_variable cv;
  int reachable = 0, unreachable = 0;
  r->setReachableBlock([&](Reachability&) {
    std::lock_guard<std::mutex> lock(m);
    ++reachable;
    cv.notify_all();
  });
  r->setUnreachableBlock([&](Reachability&) {
    std::lock_guard<std::mutex> lock(m);
    ++unreachable;
    cv.notify_all();
  });
  EXPECT_TRUE(r->startNotifier());
  EXPECT_TRUE(r->startNotifier());
  Reachability::overrideFlags(0);
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return unreachable == 1; }));
  }
  Reachability::overrideFlags(kSCNetworkReachabilityFlagsReachable);
  {
    std::unique_lock<std::mutex> lock(m);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return reachable == 1; }));
  }
  r->stopNotifier();
  Reachability::overrideFlags(0);
  std::lock_guard<std::mutex> lock(m);
  EXPECT_EQ(unreachable, 1);
}
