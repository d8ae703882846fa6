// The floating card above the tab bar through real refresh batches of repositories
// served on 127.0.0.1: it counts the running refreshes down, says how many sources were
// updated (and how many failed) in how many seconds of the loop's clock, and shows the
// queue again 3 s later.
#include <string>
#include <vector>

#include "core/KVPipelineManager.h"
#include "database/KVSourceRefresh.h"
#include "foundation/Clock.h"
#include "interface/KVFloatingHudView.h"
#include "support/TabBarRoadFixture.h"
#include "support/Written.h"
#include "uikit/UILabel.h"
#include "uikit/UIProgressView.h"

namespace {

class RefreshCardRoad : public TabBarRoadFixture {
 protected:
  KVFloatingHudView& card() { return *tabs->hudView(); }
  std::string text() {
    return card().isHidden() ? "(hidden)" : card().primaryLabel()->text() + " | " + card().secondaryLabel()->text();
  }
  // Turns the main loop until the card's first line reads `primary`, keeping every
  // distinct text the card showed on the way.
  bool waitForCard(const std::string& primary, double seconds = 60) {
    return RunLoop::main().runUntil(
        [&] {
          std::string now = text();
          if (seen.empty() || seen.back() != now) seen.push_back(now);
          return !card().isHidden() && card().primaryLabel()->text() == primary;
        },
        seconds);
  }

  std::vector<std::string> seen;
};

TEST_F(RefreshCardRoad, ARefreshOfSeveralSourcesCountsDownAndReturnsToTheQueue) {
  std::vector<std::string> locations;
  for (const char* folder : {"one", "two", "three"}) {
    locations.push_back(serveIndex(folder, stanza(std::string("com.example.") + folder, "1.0")));
    addSourceRecord(locations.back());
  }
  EXPECT_EQ(text(), "(hidden)") << "nothing queued, no run";

  manager().refreshSources(locations);
  ASSERT_TRUE(waitForCard("Tasks In Progress"));
  EXPECT_EQ(seen.back(), "Tasks In Progress | 3 Running Tasks");
  EXPECT_FALSE(card().progressView()->isHidden());
  EXPECT_FLOAT_EQ(card().progressView()->progress(), 0.0f);
  Clock::advanceBy(1.25);  // the loop's clock while the refreshes run

  ASSERT_TRUE(waitForCard("Refresh Complete")) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen.back(), "Refresh Complete | Updated 3 sources in 1.25 seconds");
  // Counted down, never up.
  int last = 3;
  for (const auto& line : seen) {
    size_t bar = line.find(" | ");
    if (line.rfind("Tasks In Progress", 0) != 0 || bar == std::string::npos) continue;
    int running = std::stoi(line.substr(bar + 3));
    EXPECT_LE(running, last) << ::testing::PrintToString(seen);
    last = running;
  }
  EXPECT_TRUE(card().progressView()->isHidden());

  ui.advance(2.9);
  EXPECT_EQ(card().primaryLabel()->text(), "Refresh Complete");
  ui.advance(0.2);
  EXPECT_EQ(text(), "(hidden)") << "back to the queue, which is empty";
  EXPECT_EQ(tabs->startTime(), -1.0);
  EXPECT_EQ(card().progressTotal(), 0u);
}

// A run that starts while the last one's "Refresh Complete" shows owns the card: the old
// run's return to the queue does not cut it short, and its message counts only its own
// sources.
TEST_F(RefreshCardRoad, ASecondRunWithinThreeSecondsIsNotResetByTheFirst) {
  std::string first = serveIndex("first", stanza("com.example.first", "1.0"));
  addSourceRecord(first);
  manager().refreshSources({first});
  ASSERT_TRUE(waitForCard("Refresh Complete"));
  EXPECT_EQ(seen.back(), "Refresh Complete | Updated 1 source in 0.00 seconds");

  ui.advance(1.0);
  std::string slow = heldRepositories({"slow"}).front();
  std::string quick = serveIndex("quick", stanza("com.example.quick", "1.0"));
  addSourceRecord(quick);
  seen.clear();
  manager().refreshSources({slow, quick});
  ASSERT_TRUE(waitForCard("Tasks In Progress"));
  ASSERT_TRUE(server.waitForRequests("/slow/Release", 1));
  ui.advance(2.5);  // past the first run's 3 s
  EXPECT_EQ(text().rfind("Tasks In Progress | ", 0), 0u) << text();
  EXPECT_NE(tabs->startTime(), -1.0);

  release.arrive();
  ASSERT_TRUE(waitForCard("Refresh Complete")) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen.back(), "Refresh Complete | Updated 2 sources in 2.50 seconds");
  ui.advance(3.0);
  EXPECT_EQ(text(), "(hidden)");
}

// A run in which a source failed says so; one where every source failed says that.
TEST_F(RefreshCardRoad, FailedSourcesAreCountedBesideTheUpdatedOnes) {
  std::string good = serveIndex("good", stanza("com.example.good", "1.0"));
  const std::string nobody = "http://127.0.0.1:1/";  // nothing listens there
  for (const auto& location : {good, nobody}) addSourceRecord(location);
  manager().refreshSources({good, nobody});
  ASSERT_TRUE(waitForCard("Refresh Completed with Errors")) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen.back(), "Refresh Completed with Errors | Updated 1 source, 1 failed, in 0.00 seconds");

  ui.advance(3.0);
  manager().refreshSources({nobody});
  ASSERT_TRUE(waitForCard("Refresh Failed")) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen.back(), "Refresh Failed | Updated 0 sources, 1 failed, in 0.00 seconds");

  // Asked for again while the run goes on, a refresh joins it, and its source counts once.
  ui.advance(3.0);
  std::string slow = heldRepositories({"slow"}).front();
  seen.clear();
  manager().refreshSources({slow, nobody});
  auto& pipeline = KVPipelineManager::sharedManager();
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] { return !pipeline.hasTaskWithIdentifier(KVSourceRefresh::taskIDForLocation(nobody)); }, 60));
  manager().refreshSources({nobody});
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return pipeline.sourceRefreshCount() == 1; }, 60));
  release.arrive();
  ASSERT_TRUE(waitForCard("Refresh Completed with Errors")) << ::testing::PrintToString(seen);
  EXPECT_EQ(seen.back(), "Refresh Completed with Errors | Updated 1 source, 1 failed, in 0.00 seconds");
}

// Under the count, why each source failed, as its row and page say it; gone with the
// run's card.
TEST_F(RefreshCardRoad, WhySourcesFailedShowsUnderTheCount) {
  std::string good = serveIndex("good", stanza("com.example.good", "1.0"));
  std::string garbage = serveIndex("garbage", "<html>\n<body>Not Found</body>\n</html>\n");
  for (const auto& location : {good, garbage}) addSourceRecord(location);
  manager().refreshSources({good, garbage});
  ASSERT_TRUE(waitForCard("Refresh Completed with Errors")) << ::testing::PrintToString(seen);
  const std::string why = "Test Repository: " + *source(garbage)->Description();
  EXPECT_NE(why.find("is not a list of packages"), std::string::npos) << why;
  RunLoop::main().runUntilIdle();
  EXPECT_EQ(card().detailLabel()->text(), why);
  EXPECT_NE(ui.screen().find(" seconds | " + why + "\n"), std::string::npos) << ui.screen();

  ui.advance(3.0);
  EXPECT_TRUE(card().detailLabel()->isHidden());
  manager().refreshSources({good});
  ASSERT_TRUE(waitForCard("Refresh Complete"));
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(card().detailLabel()->isHidden()) << card().detailLabel()->text();
}

// Queueing shows the card with the live count; in tasks mode the queue leaves it alone.
TEST_F(RefreshCardRoad, TheQueueCountFollowsTheDatabase) {
  std::string location = serveIndex("repo", stanza("com.example.a", "1.0") + stanza("com.example.b", "1.0"));
  ASSERT_TRUE(refresh(location));
  ui.advance(3.0);
  // Marks the package and turns the loop until the card reads `expected`.
  auto mark = [&](const std::string& identifier, bool queued, const std::string& expected) {
    written(db()->write([&] {
      auto p = *package(identifier);
      p.setIsInTheQueue(queued);
      db()->addOrUpdate(p.toObject());
    }));
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return text() == expected; })) << text();
  };
  mark("com.example.a", true, "Queue | 1 Package");
  mark("com.example.b", true, "Queue | 2 Packages");
  mark("com.example.a", false, "Queue | 1 Package");
  mark("com.example.b", false, "(hidden)");
}

// Cancel on the confirmation empties the queue before the screen goes: the card hides at
// once, and a confirmation opened right away finds nothing queued.
TEST_F(RefreshCardRoad, CancelEmptiesTheCardAndTheQueueAtOnce) {
  std::string location = serveIndex("repo", stanza("com.example.a", "1.0"));
  ASSERT_TRUE(refresh(location));
  ui.advance(3.0);
  written(db()->write([&] {
    auto p = *package("com.example.a");
    p.setIsInTheQueue(true);
    db()->addOrUpdate(p.toObject());
  }));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return text() == "Queue | 1 Package"; })) << text();
  tabs->presentQueue();
  ui.runUntilIdle();
  ASSERT_TRUE(ui.screenShows("0.0: com.example.a")) << ui.screen();
  ASSERT_TRUE(ui.tap("Cancel"));
  EXPECT_EQ(text(), "(hidden)");
  EXPECT_EQ(KVRPackage::objectsWhere("isInTheQueue = 1").count(), 0u);
  tabs->presentQueue();
  ui.runUntilIdle();
  EXPECT_FALSE(ui.screenShows("com.example.a")) << ui.screen();
  EXPECT_FALSE(ui.screenShows("[Confirm]\n")) << "nothing to confirm: " << ui.screen();
}

}  // namespace
