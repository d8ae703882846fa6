#include "app/KVFeaturedPlaceholderViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/Bundle.h"
#include "interface/KVScreens.h"

KVFeaturedPlaceholderViewController::KVFeaturedPlaceholderViewController(KVScreenContext context)
    : KVPlaceholderViewController("Featured"), context_(std::move(context)) {}

void KVFeaturedPlaceholderViewController::viewDidAppear(bool animated) {
  KVPlaceholderViewController::viewDidAppear(animated);
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  if (preferences.boolForKey("setupDone")) return;
  preferences.setObject(Value(Bundle::main().shortVersion()), "welcomeScreenVersion");
  goToSetupScreen();
}

void KVFeaturedPlaceholderViewController::goToSetupScreen() {
  auto setup = context_.screens->onboarding();
  setup->presentationController()->setDelegate(this);
  presentViewController(setup, true);
}

void KVFeaturedPlaceholderViewController::presentationControllerDidDismiss(UIPresentationController&) {
  UIView::animateWithDuration(0.3, [this] { viewWillAppear(true); });
}
