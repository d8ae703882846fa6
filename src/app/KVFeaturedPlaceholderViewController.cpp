#include "app/KVFeaturedPlaceholderViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"

KVFeaturedPlaceholderViewController::KVFeaturedPlaceholderViewController(std::shared_ptr<KVRSources> sources)
    : KVPlaceholderViewController("Featured"), sources_(std::move(sources)) {}

void KVFeaturedPlaceholderViewController::loadView() {
  KVPlaceholderViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  notice_ = std::make_shared<UILabel>(CGRect::make(20, screen.height() / 2 + 50, screen.width() - 40, 80));
  notice_->setNumberOfLines(0);
  notice_->setTextAlignment(NSTextAlignmentCenter);
  notice_->setText(NSLocalizedString("The first run is not done, so no source refreshes. Its walk (welcome, sign-in, "
                                     "import) is not built yet: mark it done here."));
  view()->addSubview(notice_);
  markDone_ = std::make_shared<UIButton>();
  markDone_->setFrame(CGRect::make(20, screen.height() / 2 + 140, screen.width() - 40, 50));
  markDone_->setTitle(NSLocalizedString(kMarkFirstRunDoneTitle));
  markDone_->addTarget(
      this,
      [weak = weak_from_this(), this](UIControl&) {
        if (weak.lock()) markFirstRunDone();
      },
      UIControlEventTouchUpInside);
  view()->addSubview(markDone_);
  showFirstRunState();
}

void KVFeaturedPlaceholderViewController::viewWillAppear(bool animated) {
  KVPlaceholderViewController::viewWillAppear(animated);
  showFirstRunState();
}

void KVFeaturedPlaceholderViewController::showFirstRunState() {
  bool done = QuillbarkPersistentPreferences::sharedInstance().boolForKey("setupDone");
  notice_->setHidden(done);
  markDone_->setHidden(done);
}

void KVFeaturedPlaceholderViewController::markFirstRunDone() {
  QuillbarkPersistentPreferences::sharedInstance().setObject(Value(true), "setupDone");
  NotificationCenter::defaultCenter().post("KVRSourceImportDidComplete");
  performAfterWithBlock(1.0, [sources = sources_] { sources->refreshAllSources(); });
  showFirstRunState();
}
