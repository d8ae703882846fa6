// A source whose index APT cannot read, beside a good one, with the real apt-get and dpkg
// in a device root the application's builder made: installs from the good source go on.
// An index that is no index is refused by the refresh and never reaches APT's lists; a
// list APT still refuses (one the refresh could read) is set aside by the dry run, which
// names the source, and the confirmation offers to refresh or remove it.
#include <random>

#include "InstallRoadFixture.h"
#include "operations/PackagesConfirmationViewController.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"

namespace {

class BrokenSourceRoad : public InstallRoadFixture {
 protected:
  void SetUp() override {
    InstallRoadFixture::SetUp();
    good = locationOf("good");
    DebBuilder debs(repositories.file("good"));
    debs.build(DebPackage("com.example.lib", "1.0").field("Name", "Example Library"), "lib.deb");
    debs.build(DebPackage("com.example.tool", "1.0").field("Name", "Example Tool").field("Depends", "com.example.lib"),
               "tool.deb");
    ASSERT_TRUE(DebBuilder::writeFlatRepository(repositories.file("good"), {"lib.deb", "tool.deb"}));
    ASSERT_TRUE(refresh(good));
  }

  std::string good;
};

TEST_F(BrokenSourceRoad, AGarbageIndexIsRefusedAndTheGoodSourceStillInstalls) {
  std::mt19937 random(46);
  std::string bytes(20000, '\0');
  for (auto& byte : bytes) byte = static_cast<char>(random());
  const std::string garbage = serveIndex("garbage", bytes);
  ASSERT_TRUE(refresh(garbage));
  EXPECT_EQ(source(garbage)->hasErrors(), true);
  EXPECT_NE(source(garbage)->Description().value_or("").find("is not a list of packages"), std::string::npos);
  EXPECT_FALSE(Files::exists(listFilePath(garbage))) << "never in APT's lists";

  install("com.example.tool");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.lib"), "install ok installed");
  EXPECT_EQ(package("com.example.tool")->isInstalled(), true);
}

TEST_F(BrokenSourceRoad, AListAPTRefusesIsSetAsideNamedAndOfferedForRefreshOrRemoval) {
  // A dependency APT's own reading refuses, in a stanza the refresh reads as any other.
  FlatRepositoryOptions options;
  options.origin = "Odd Repository";
  const std::string odd = serveIndex("odd", stanza("com.example.odd", "1.0", {{"Depends", "(((("}}), options);
  ASSERT_TRUE(refresh(odd));
  ASSERT_EQ(source(odd)->hasErrors(), false);
  queue("com.example.tool");

  auto screen = std::make_shared<PackagesConfirmationViewController>(screenContext());
  showWindow()->presentViewController(std::make_shared<UINavigationController>(screen), false);
  RunLoop::main().runUntilIdle();
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !screen->isResolving(); }, 60));
  RunLoop::main().runUntilIdle();
  EXPECT_TRUE(screen->problems().empty()) << ::testing::PrintToString(screen->problems());
  EXPECT_TRUE(screen->confirmBtn()->isEnabled()) << "the good source's package can be installed";
  ASSERT_EQ(screen->dependsTree().unreadableSources.size(), 1u);
  EXPECT_EQ(screen->dependsTree().unreadableSources[0].location, odd);
  EXPECT_FALSE(Files::exists(listFilePath(odd))) << "set aside";
  EXPECT_EQ(source(odd)->hasErrors(), true);
  EXPECT_NE(source(odd)->Description().value_or("").find("APT can't read the packages of this source"), std::string::npos)
      << source(odd)->Description().value_or("");

  auto* alert = dynamic_cast<UIAlertController*>(screen->navigationController()->presentedViewController());
  ASSERT_NE(alert, nullptr);
  EXPECT_NE(alert->message().value_or("").find("APT can't read the packages of Odd Repository (" + odd + ")"),
            std::string::npos)
      << alert->message().value_or("");
  std::vector<std::string> titles;
  for (const auto& action : alert->actions()) titles.push_back(action->title());
  EXPECT_EQ(titles, (std::vector<std::string>{"Refresh Odd Repository", "Remove Odd Repository", "Close"}));
  ASSERT_TRUE(alert->chooseActionByUser("Remove Odd Repository"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return !source(odd) && !package("com.example.odd"); }, 60));

  // Confirmed on the screen once its dry run of the queue without the source is back: the
  // Confirm of the dry run before stays on until that one starts.
  ASSERT_TRUE(RunLoop::main().runUntil(
      [&] {
        return !screen->isResolving() && screen->dependsTree().unreadableSources.empty() &&
               screen->confirmBtn()->isEnabled();
      },
      60));
  screen->confirmQueue();
  ASSERT_TRUE(waitForPipeline(120));
  auto end = aptEnd();
  ASSERT_TRUE(end);
  EXPECT_TRUE(end->userInfo["success"].asBool()) << (end->error ? end->error->localizedDescription() : "");
  EXPECT_EQ(deviceRoot().packageStatus("com.example.tool"), "install ok installed");
}

}  // namespace
