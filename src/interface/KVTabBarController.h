#pragma once
// The root screen: the tabs and, floating above the tab bar, the card that shows how many
// packages are queued or, while repositories are refreshed, how many refreshes still run.
// It opens the queue confirmation screen or the task screens for the card and for the
// application, through the navigation it is given.
#include <cstdint>
#include <memory>

#include "database/KVRPackage.h"
#include "foundation/NotificationToken.h"
#include "interface/KVFloatingHudView.h"
#include "interface/KVScreens.h"
#include "interface/PackagesConfirmationViewControllerDelegate.h"
#include "store/TypedResults.h"
#include "uikit/UITabBarController.h"

class KVTabBarController : public UITabBarController,
                           public HudPresenting,
                           public PackagesConfirmationViewControllerDelegate {
 public:
  // How long "Refresh Complete" stays before the card shows the queue again.
  static constexpr double kQueueModeDelay = 3.0;

  explicit KVTabBarController(std::shared_ptr<KVScreens> screens);
  ~KVTabBarController() override;

  void viewDidLoad() override;
  void viewDidAppear(bool animated) override;
  void updateQueueCount();
  // Follows the queued packages of the default database. The tab bar is loaded before
  // the launch opens the database, so the launch calls it again once it has.
  void observeQueue();
  void presentQueue() override;
  void presentTasks() override;
  // The confirmation emptied the queue: the card counts it again at once.
  void updateUI() override { updateQueueCount(); }
  // What a change of the pipeline's operations means for the card (main thread).
  void operationsChanged();

  KVFloatingHudView* hudView() const { return hudView_.get(); }
  double startTime() const { return startTime_; }

 private:
  void observePipeline();

  std::shared_ptr<KVScreens> screens_;
  double startTime_ = -1.0;
  std::shared_ptr<KVFloatingHudView> hudView_;
  store::TypedResults<KVRPackage> queuedPackages_;
  NotificationToken notification_;
  NotificationToken operationsObservation_;
  NotificationToken styleObservation_;
  // Each refresh run has its number; the delayed return to queue mode belongs to one run.
  uint64_t run_ = 0;
  bool runEnded_ = false;
};
