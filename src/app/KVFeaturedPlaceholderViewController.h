#pragma once
// The first tab until the featured screen is built: a named placeholder that does the
// featured screen's first-run duty. Each time it has appeared while the first run is not
// done ("setupDone" not YES), it stores the application's version as
// "welcomeScreenVersion" (so no what's-new page follows for it) and presents the walk's
// entry screen; a walk swiped away comes back at its next appearance.
#include "app/KVPlaceholderViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UIPresentationController.h"

class KVFeaturedPlaceholderViewController : public KVPlaceholderViewController,
                                            public UIAdaptivePresentationControllerDelegate {
 public:
  explicit KVFeaturedPlaceholderViewController(KVScreenContext context);

  void viewDidAppear(bool animated) override;
  void presentationControllerDidDismiss(UIPresentationController& controller) override;

  // Presents the walk's entry screen, animated.
  void goToSetupScreen();

 private:
  KVScreenContext context_;
};
