#include "interface/KVShortConfirmation.h"

#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "uikit/UIAlertController.h"

void KVShortConfirmation::show(UIViewController& presenter, const std::string& title) {
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString(title), std::nullopt,
                                                           UIAlertControllerStyleAlert);
  std::weak_ptr<UIAlertController> weak = alert;
  presenter.presentViewController(alert, true, [weak] {
    DispatchQueue::mainQueue().asyncAfter(0.1, [weak] {
      auto shown = weak.lock();
      if (shown && shown->presentingViewController() && !shown->isBeingDismissed())
        shown->dismissViewControllerAnimated(true);
    });
  });
}
