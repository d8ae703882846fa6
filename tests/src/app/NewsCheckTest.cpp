// The application delegate's news check against the played vendor service, on the manual
// clock: more entries than "NewsCount" are counted and announced once, the check repeats
// every 120 s, and the notification opens the news list.
#include <gtest/gtest.h>

#include "app/KVQuillbark.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/RunLoop.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "system/UNUserNotificationCenter.h"

namespace {

Value entries(int count) {
  Value list = Value::array();
  for (int i = 0; i < count; ++i) list.push_back(Value::dict({{"title", "News " + std::to_string(i)}}));
  return list;
}

TEST(NewsCheckTest, NewEntriesAreCountedAndAnnouncedOnceAndTheCheckRepeatsEvery120Seconds) {
  UIDriver ui;
  ui.show(std::make_shared<UIViewController>());
  TestVendorService service;
  auto& center = UNUserNotificationCenter::currentNotificationCenter();
  center.reset();
  center.setAuthorizationStatus(UNAuthorizationStatusAuthorized);
  center.setDelegate(&KVQuillbark::sharedQuillbark());
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  KVQuillbark& delegate = KVQuillbark::sharedQuillbark();
  auto announced = [&](size_t count) {
    return RunLoop::main().runUntil([&] { return center.addedRequests().size() == count; }, 20);
  };
  auto checked = [&](size_t count) { return service.waitForRequests("news/retrievenews.php", count); };

  service.setNews(entries(2));
  delegate.checkForNews();
  ASSERT_TRUE(announced(1));
  UNNotificationRequest request = center.addedRequests().back();
  EXPECT_EQ(request.title, "News");
  EXPECT_EQ(request.body, "New messages from Korvale are available. Click here to check the News tab!");
  EXPECT_FALSE(request.badge);
  EXPECT_EQ(preferences.integerForKey("NewsCount"), 2);
  EXPECT_TRUE(delegate.newsNotification());

  ui.advance(119);
  EXPECT_EQ(service.fieldsSentTo("news/retrievenews.php").size(), 1u);
  ui.advance(1);
  ASSERT_TRUE(checked(2));
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(center.addedRequests().size(), 1u) << "nothing new";

  service.setNews(entries(3));
  ui.advance(120);
  ASSERT_TRUE(announced(2));
  EXPECT_EQ(preferences.integerForKey("NewsCount"), 3);
  ui.advance(120);
  ASSERT_TRUE(checked(4)) << "one repeat, however often the check ran";
  RunLoop::main().runUntil([] { return false; }, 0.3);
  EXPECT_EQ(service.fieldsSentTo("news/retrievenews.php").size(), 4u);

  // Opening the notification shows the news.
  ASSERT_TRUE(center.openNotification(request.identifier));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return ui.front() && ui.front()->title() == "News"; }, 20)) << ui.screen();
  EXPECT_FALSE(delegate.newsNotification());
  center.setDelegate(nullptr);
  delegate.resetForTesting();
}

}  // namespace
