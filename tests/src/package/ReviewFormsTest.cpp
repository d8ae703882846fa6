// The review forms on their own: the 1000-unit limit judged on what an edit leaves, the
// placeholder, the card that rises only above a keyboard that would cover it, the reply
// that goes out as typed and tells the review, and who may answer in text.
#include <gtest/gtest.h>

#include "account/KVAccount.h"
#include "account/KVKeychainBindingsController.h"
#include "foundation/NotificationCenter.h"
#include "package/FullReviewViewController.h"
#include "package/ReplyToReviewViewController.h"
#include "support/TestRoot.h"
#include "support/TestVendorService.h"
#include "support/UIDriver.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIScreen.h"

namespace {

struct ReviewToUpdate : ReplyToReviewDelegate {
  int updates = 0;
  void updateReview() override { ++updates; }
};

class ReviewFormsTest : public ::testing::Test {
 protected:
  void TearDown() override { KVKeychainBindingsController::sharedKeychainBindingsController().resetValuesForTesting(); }
  std::shared_ptr<ReplyToReviewViewController> presentReply(std::weak_ptr<ReplyToReviewDelegate> delegate) {
    ui.show(std::make_shared<UIViewController>());
    auto form = std::make_shared<ReplyToReviewViewController>(2, delegate);
    form->setModalPresentationStyle(UIModalPresentationOverFullScreen);
    ui.window().rootViewController()->presentViewController(form, true);
    ui.runUntilIdle();
    return form;
  }
  void keyboardOf(double height) {
    NotificationCenter::defaultCenter().post(
        UIKeyboardWillShowNotification, Value(),
        Value::dict({{"UIKeyboardFrameEndUserInfoKey", Value::dict({{"x", 0.0}, {"y", 0.0}, {"width", 375.0},
                                                                    {"height", height}})}}));
    ui.runUntilIdle();
  }
  TestRoot root;
  UIDriver ui;
};

TEST_F(ReviewFormsTest, ATextKeepsToAThousandUnitsCountedOnWhatTheEditLeaves) {
  auto form = presentReply({});
  UITextView* text = form->textView();
  EXPECT_EQ(text->text(), "Write your reply here...");
  ASSERT_TRUE(ui.tap("Write your reply here..."));
  EXPECT_EQ(text->text(), "") << "the placeholder goes when editing begins";
  ASSERT_TRUE(ui.type(std::string(999, 'a')));
  EXPECT_FALSE(text->typeByUser("😀")) << "a pair of UTF-16 units would make 1001";
  ASSERT_TRUE(text->typeByUser("b"));
  EXPECT_FALSE(text->typeByUser("c")) << "the 1001st character";
  EXPECT_FALSE(text->replaceByUser({0, 2}, "xyz")) << "a selection replaced is judged on the result";
  EXPECT_TRUE(text->replaceByUser({0, 3}, "xyz"));
  EXPECT_EQ(ReviewFormViewController::acceptsEdit("é", {0, 0}, std::string(999, 'a')), true);
  text->resignFirstResponder();
  ASSERT_TRUE(text->replaceByUser({0, text->attributedText().length()}, ""));
  text->resignFirstResponder();
  EXPECT_EQ(text->text(), "Write your reply here...") << "an empty text shows the placeholder again";
}

TEST_F(ReviewFormsTest, TheCardRisesOnlyAboveAKeyboardThatWouldCoverIt) {
  auto form = presentReply({});
  const CGRect centred = form->containerView()->frame();
  const double below = (form->view()->frame().height() - centred.height()) / 2;
  keyboardOf(below - 1);
  EXPECT_EQ(form->containerView()->frame(), centred);
  keyboardOf(below + 40);
  EXPECT_DOUBLE_EQ(form->containerView()->frame().maxY(), form->view()->frame().height() - (below + 40));
  NotificationCenter::defaultCenter().post(UIKeyboardWillHideNotification);
  ui.runUntilIdle();
  EXPECT_DOUBLE_EQ(form->containerView()->center().y, UIScreen::mainScreen().bounds().height() / 2);
}

TEST_F(ReviewFormsTest, AReplyGoesOutAsTypedAndTheReviewIsToldAfterTheFormHasGone) {
  TestVendorService service;
  TestVendorService::Review review;
  review.id = 2;
  review.packageID = "com.example.tool";
  review.username = "bob";
  service.addReview(review);
  KVAccount::instance().setUsername(std::string("Example Dev"));
  KVAccount::instance().setUserID(std::string("9"));
  auto delegate = std::make_shared<ReviewToUpdate>();
  auto form = presentReply(delegate);
  ASSERT_TRUE(ui.tap("Write your reply here..."));
  ASSERT_TRUE(ui.type("Thanks & see #2 é"));
  ASSERT_TRUE(ui.tap("Reply"));
  ASSERT_TRUE(RunLoop::main().runUntil([&] { return delegate->updates == 1; }, 20));
  EXPECT_EQ(ui.window().rootViewController()->presentedViewController() == form.get(), false);
  EXPECT_TRUE(ui.screenShows("Reply to Review\nReply posted.")) << ui.screen();
  EXPECT_EQ(service.fieldsSentTo("ratings/reply.php").back(),
            (TestVendorService::Fields{{"id", "9"}, {"reply", "Thanks & see #2 é"}, {"review_id", "2"}}));
  EXPECT_EQ(service.reviews().back().reply, "Thanks & see #2 é");

  // Only the developer whose name is exactly the maintainer's answers in text.
  ASSERT_TRUE(ui.tap("OK"));
  KVReviews shown;
  shown.reviewID = "2";
  for (auto [maintainer, offered] : {std::pair<const char*, bool>{"Example Dev", true}, {"example dev", false}}) {
    auto full = std::make_shared<FullReviewViewController>(screenContext(), shown, maintainer);
    ui.show(std::make_shared<UINavigationController>(full));
    ASSERT_TRUE(ui.tap("Reply"));
    EXPECT_EQ(ui.screenShows("Reply with text"), offered) << maintainer;
    ASSERT_TRUE(ui.tap("Cancel"));
  }
}

}  // namespace
