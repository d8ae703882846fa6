// The sign-in screen against the played vendor service: typing into its fields, a right
// and a wrong password, a dropped connection, skipping, a translated "Success", the
// fields moving above the keyboard, and the way back when it was opened from the account.
#include "VendorTestSupport.h"
#include "account/LoginViewController.h"
#include "foundation/Bundle.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/RunLoop.h"
#include "support/TempDir.h"
#include "support/TestRoot.h"
#include "support/UIDriver.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/SFSafariViewController.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIApplication.h"
#include "uikit/UIScreen.h"
#include "uikit/UIStackView.h"

namespace {
const TestVendorService::User kAnn{7, "ann", "p&ss", "ann@example.org", "", "2", ""};

class SignInScreenTest : public VendorTest {
 protected:
  std::shared_ptr<LoginViewController> open(bool fromSettings = false, std::function<void()> completion = nullptr) {
    auto presenter = std::make_shared<UIViewController>();
    ui.show(presenter);
    auto login = std::make_shared<LoginViewController>(screenContext(), fromSettings, std::move(completion));
    presenter->presentViewController(login, true);
    ui.runUntilIdle();
    return login;
  }
  // Taps each field and types into it, as a person does, then taps Login.
  void signIn(const std::string& name, const std::string& password) {
    ASSERT_TRUE(ui.tap("Username")) << ui.screen();
    ASSERT_TRUE(ui.type(name));
    ASSERT_TRUE(ui.tap("Password"));
    ASSERT_TRUE(ui.type(password));
    ASSERT_TRUE(ui.tap("Login"));
  }
  // Waits for the service's answer to reach the screen in front.
  bool frontBecomes(const std::string& title) {
    return RunLoop::main().runUntil([&] { return ui.front() && ui.front()->title() == title; }, 20);
  }
  UIDriver ui;
};

TEST_F(SignInScreenTest, TheRightPasswordLeadsOnToTheImport) {
  service->addUser(kAnn);
  auto login = open();
  EXPECT_TRUE(login->isModalInPresentation()) << "the first run's sheet is not swiped away";
  signIn("ann", "p&ss");
  EXPECT_TRUE(ui.screenShows("field \"Password\": ****")) << "the password is masked";
  ASSERT_TRUE(frontBecomes("Import Sources")) << ui.screen();
  EXPECT_TRUE(ui.screenShows("over: Sign In"));
  EXPECT_EQ(KVAccount::instance().returnUsername(), "ann");
}

TEST_F(SignInScreenTest, ARefusalOrADroppedConnectionIsShownWithTheWayToTheLostPassword) {
  service->addUser(kAnn);
  open();
  signIn("ann", "wrong");
  ASSERT_TRUE(frontBecomes("Unable to login")) << ui.screen();
  auto* alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->message(), "Incorrect password. Please try again.");
  ASSERT_TRUE(ui.tap("Forgot"));
  EXPECT_EQ(UIApplication::sharedApplication().openedURLs(),
            std::vector<std::string>{"https://www.korvale.example/index.php?lost-password/"});
  EXPECT_TRUE(ui.screenShows("field \"Username\": ann\n")) << "a refusal leaves the fields as typed";

  service->answer("login/login.php", TestVendorService::droppedConnection());
  ASSERT_TRUE(ui.tap("Login"));
  ASSERT_TRUE(frontBecomes("Unable to login")) << "once silent, a lost answer is shown too: " << ui.screen();
  alert = dynamic_cast<UIAlertController*>(ui.front());
  ASSERT_NE(alert, nullptr);
  EXPECT_FALSE(alert->message().value_or("").empty());
  ASSERT_TRUE(ui.tap("OK"));
  EXPECT_EQ(ui.front()->title(), "Sign In");
}

TEST_F(SignInScreenTest, ATranslatedSuccessStillLeadsOn) {
  TempDir resources;
  std::string previous = Bundle::main().resourcePath();
  Bundle::main().setResourcePath(resources.path());
  Files::createDirectories(resources.file("xx.lproj"));
  Files::writeAtomically(resources.file("xx.lproj/Localizable.strings"), std::string("\"Success\" = \"Erfolg\";\n"));
  LocalizedStrings::setLanguage("xx");
  ASSERT_EQ(NSLocalizedString("Success"), "Erfolg");
  service->addUser(kAnn);
  open();
  signIn("ann", "p&ss");
  bool ledOn = frontBecomes(NSLocalizedString("Import Sources"));
  LocalizedStrings::setLanguage("en");
  Bundle::main().setResourcePath(previous);
  EXPECT_TRUE(ledOn) << ui.screen();
}

TEST_F(SignInScreenTest, SkipLeadsOnInTheFirstRunAndClosesWithTheOpenersCompletionFromTheAccount) {
  open();
  ASSERT_TRUE(ui.tap("Skip"));
  EXPECT_TRUE(ui.screenShows("title: Import Sources\nover: Sign In")) << ui.screen();
  EXPECT_TRUE(service->fieldsSentTo("login/login.php").empty());

  int completions = 0;
  auto login = open(true, [&] { ++completions; });
  EXPECT_FALSE(login->isModalInPresentation());
  ASSERT_TRUE(ui.tap("Skip"));
  EXPECT_EQ(ui.front()->presentedViewController(), nullptr) << ui.screen();
  EXPECT_EQ(completions, 1);

  EXPECT_FALSE(ui.tap("Sign Up")) << "nothing is on screen but the opener";
}

TEST_F(SignInScreenTest, SignUpOpensTheRegistrationPageInTheApplication) {
  open();
  ASSERT_TRUE(ui.tap("Sign Up"));
  auto* browser = dynamic_cast<SFSafariViewController*>(ui.front());
  ASSERT_NE(browser, nullptr) << ui.screen();
  EXPECT_EQ(browser->url(), "https://korvale.example/register/");
  EXPECT_EQ(browser->modalPresentationStyle(), UIModalPresentationFormSheet);
}

TEST_F(SignInScreenTest, TheFieldsMoveAboveTheKeyboardAndBackAsItsNoticesSay) {
  auto login = open();
  auto& center = *login->inputStackViewCenterConstraint();
  CGRect stack = login->inputStackView()->frame();
  double freeSpace = login->view()->frame().height() - (stack.maxY() + LoginViewController::kKeyboardGap);
  ASSERT_GT(UIKeyboard::height(), freeSpace) << "a phone's keyboard covers the buttons";
  UIView::clearRecordedAnimations();
  ASSERT_TRUE(ui.tap("Password"));
  EXPECT_DOUBLE_EQ(center.constant(), -(UIKeyboard::height() - freeSpace));
  EXPECT_DOUBLE_EQ(login->inputStackView()->frame().maxY() + LoginViewController::kKeyboardGap,
                   login->view()->frame().height() - UIKeyboard::height());
  auto animations = UIView::recordedAnimations();
  ASSERT_FALSE(animations.empty());
  EXPECT_EQ(animations.back().duration, 0.25);
  EXPECT_EQ(animations.back().options, 7u) << "the keyboard's curve number, handed on as the options";
  ASSERT_TRUE(ui.submit());
  EXPECT_EQ(center.constant(), 0) << "the return key puts the keyboard away";

  // On a screen tall enough the keyboard leaves the fields where they are.
  ui.window().setFrame(CGRect::make(0, 0, 375, 1400));
  login = open();
  ASSERT_TRUE(ui.tap("Username"));
  EXPECT_EQ(login->inputStackViewCenterConstraint()->constant(), 0);
  login->dismissKeyboard();
  EXPECT_FALSE(UIKeyboard::isVisible());
}
}  // namespace
