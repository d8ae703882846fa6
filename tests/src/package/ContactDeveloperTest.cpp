// The contact-developer page: Twitter in its application when one takes the link, else in
// the in-app browser, else the card; the mail link with its address and subject encoded;
// the donation rows; following there and back.
#include <gtest/gtest.h>

#include "database/KVRDevelopers.h"
#include "package/ContactDeveloperViewController.h"
#include "support/PackageRecordsFixture.h"
#include "support/RecordingScreens.h"
#include "support/UIDriver.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UINavigationController.h"

namespace {

class ContactDeveloperTest : public PackageRecordsFixture {
 protected:
  ContactDeveloperViewController* open(const KVContactDeveloperInputs& inputs) {
    if (!screens) screens = root->recordScreens();
    auto page = screens->contactDeveloper(inputs);
    ui.show(std::make_shared<UINavigationController>(page));
    return dynamic_cast<ContactDeveloperViewController*>(page.get());
  }
  std::shared_ptr<RecordingScreens> screens;
  UIDriver ui;
};

TEST_F(ContactDeveloperTest, TwitterMailDonationsAndFollowing) {
  KVContactDeveloperInputs inputs;
  inputs.packageName = "Example Tool & More";
  inputs.developerName = "Example Dev";
  inputs.email = "dev&co@example.org";
  inputs.twitterURL = "https://twitter.com/example_dev";
  auto* page = open(inputs);
  ASSERT_TRUE(page) << ui.screen();
  EXPECT_EQ(page->view()->backgroundColor(), UIColor::colorWithRed(0.94, 0.94, 0.96, 1)) << "the light palette's grey";
  auto& application = UIApplication::sharedApplication();

  // No Twitter application: the profile in the browser; with one, the application.
  ASSERT_TRUE(ui.tap("Twitter")) << ui.screen();
  EXPECT_EQ(screens->opened(),
            std::vector<std::string>{"page https://twitter.com/example_dev | Example Dev's Twitter"});
  ASSERT_TRUE(ui.back());
  application.setInstalledURLSchemes({"twitter"});
  ASSERT_TRUE(ui.tap("Twitter"));
  ASSERT_TRUE(ui.tap("Email"));
  EXPECT_EQ(application.openedURLs(),
            (std::vector<std::string>{
                "twitter://user?screen_name=example_dev",
                "mailto:dev%26co@example.org?subject=Quillbark%205:%20Question%20regarding%20Example%20Tool%20%26%20More"}));

  // Nothing to donate through: the card; "Other" opens nothing.
  ASSERT_TRUE(ui.tap("PayPal"));
  EXPECT_TRUE(ui.screenShows("Example Dev hasn't provided a PayPal link.")) << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  ASSERT_TRUE(ui.tap("Other"));
  EXPECT_EQ(screens->opened().size(), 1u);
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController(), nullptr);

  // Follow and back: the button and the stored state return to where they were.
  auto& developers = *screenContext().developers;
  ASSERT_TRUE(ui.tap("Follow"));
  EXPECT_TRUE(ui.screenShows("Followed"));
  ui.advance(0.2);
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return developers.isDeveloperFollowed("Example Dev"); }, 20));
  ASSERT_TRUE(ui.tap("Unfollow"));
  EXPECT_TRUE(ui.screenShows("Unfollowed"));
  ui.advance(0.2);
  EXPECT_EQ(page->followedBtn()->title(), "Follow");
  EXPECT_TRUE(RunLoop::main().runUntil([&] { return !developers.isDeveloperFollowed("Example Dev"); }, 20));

  // An empty link is no link; an absent address still opens a mail link, an empty one.
  inputs.twitterURL = "";
  inputs.email.reset();
  inputs.packageName = "Tool";
  open(inputs);
  ASSERT_TRUE(ui.tap("Twitter"));
  EXPECT_TRUE(ui.screenShows("Example Dev hasn't provided a Twitter link.")) << ui.screen();
  ASSERT_TRUE(ui.tap("OK"));
  ASSERT_TRUE(ui.tap("Email"));
  EXPECT_EQ(application.openedURLs().back(), "mailto:?subject=Quillbark%205:%20Question%20regarding%20Tool");
}

}  // namespace
