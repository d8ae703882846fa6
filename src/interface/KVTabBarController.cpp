#include "interface/KVTabBarController.h"

#include <algorithm>
#include <cstdio>

#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Clock.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/KVPaletteManager.h"
#include "uikit/UIDevice.h"
#include "uikit/UINavigationController.h"
#include "uikit/UITabBar.h"

KVTabBarController::KVTabBarController(std::shared_ptr<KVScreens> screens) : screens_(std::move(screens)) {}

KVTabBarController::~KVTabBarController() = default;

void KVTabBarController::viewDidLoad() {
  UITabBarController::viewDidLoad();
  startTime_ = -1.0;
  hudView_ = std::make_shared<KVFloatingHudView>(this);
  hudView_->anchorToView(*view(), tabBar()->topAnchor());
  hudView_->setHidden(true);
  observeQueue();
  observePipeline();
  styleObservation_ = KVPaletteManager::sharedPaletteManager().addActiveStyleObserver([weak = weakSelf(this)](uint32_t) {
    performOnMainThread([weak] {
      if (auto self = weak.lock()) self->hudView_->updatePalette();
    });
  });
}

void KVTabBarController::observeQueue() {
  // Loaded before the launch opens the database, the card has nothing to count yet: the
  // launch asks again once it is open.
  if (store::Database::defaultConfiguration().path.empty()) return;
  queuedPackages_ = KVRPackage::objectsWhere("isInTheQueue = 1");
  notification_ = queuedPackages_.observe([weak = weakSelf(this)](const store::TypedResults<KVRPackage>& results,
                                                                   const store::CollectionChange*, const ErrorRef& error) {
    auto self = weak.lock();
    if (!self || error) return;
    self->queuedPackages_ = results;
    self->updateQueueCount();
  });
}

void KVTabBarController::observePipeline() {
  // Told on whichever thread changed the queue; the card is changed on the main thread.
  operationsObservation_ =
      KVPipelineManager::sharedManager().pipelineOperationQueue().addOperationsObserver([weak = weakSelf(this)] {
        DispatchQueue::mainQueue().async([weak] {
          if (auto self = weak.lock()) self->operationsChanged();
        });
      });
}

void KVTabBarController::viewDidAppear(bool animated) {
  UITabBarController::viewDidAppear(animated);
  updateQueueCount();
}

void KVTabBarController::updateQueueCount() {
  if (!hudView_ || hudView_->presentationType() != KVFloatingHudView::Queue) return;
  // Counted afresh: a change of the queue may be told later than it is asked about.
  size_t count = store::Database::defaultConfiguration().path.empty() ? 0
                                                                      : KVRPackage::objectsWhere("isInTheQueue = 1").count();
  hudView_->setItemCount(static_cast<uint32_t>(count));
}

void KVTabBarController::operationsChanged() {
  const uint32_t running = KVPipelineManager::sharedManager().sourceRefreshCount();
  if (running == 0 && (startTime_ == -1.0 || runEnded_)) return;  // no run, or its end already shown
  if (startTime_ == -1.0 || runEnded_) {
    // A new run, also one that starts while the last one's "Refresh Complete" shows.
    startTime_ = Clock::now();
    runEnded_ = false;
    ++run_;
    hudView_->setProgressTotal(0);
    hudView_->setDetailText("");
  }
  hudView_->setPresentationType(KVFloatingHudView::Tasks);
  hudView_->setItemCount(running);
  if (running > 0) return;

  runEnded_ = true;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.2f", Clock::now() - startTime_);
  // A run in which sources failed says so: how many failed beside how many were updated.
  // Counted by source, not by the most tasks that ran at once: a refresh of all asked for
  // while one runs joins the run, and its sources count once.
  const uint32_t updated = KVPipelineManager::sharedManager().sourceRefreshUpdatedCount();
  const uint32_t failed = KVPipelineManager::sharedManager().sourceRefreshFailureCount();
  if (failed == 0) {
    hudView_->setSecondaryText(NSLocalizedFormat(updated == 1 ? "Updated %ld source in %.2f seconds"
                                                              : "Updated %ld sources in %.2f seconds",
                                                 {std::to_string(updated), seconds}));
  } else {
    hudView_->setPrimaryText(NSLocalizedString(updated == 0 ? "Refresh Failed" : "Refresh Completed with Errors"));
    hudView_->setSecondaryText(NSLocalizedFormat(updated == 1 ? "Updated %ld source, %ld failed, in %.2f seconds"
                                                              : "Updated %ld sources, %ld failed, in %.2f seconds",
                                                 {std::to_string(updated), std::to_string(failed), seconds}));
  }
  // And why they failed, each source's reason in turn, under the count.
  std::string why;
  for (const auto& failure : KVPipelineManager::sharedManager().sourceRefreshFailures())
    why += (why.empty() ? "" : "; ") + failure;
  hudView_->setDetailText(why);
  performAfterWithBlock(kQueueModeDelay, [weak = weakSelf(this), run = run_] {
    auto self = weak.lock();
    if (!self || run != self->run_ || !self->runEnded_) return;  // a later run owns the card now
    self->hudView_->setPresentationType(KVFloatingHudView::Queue);
    self->hudView_->setDetailText("");
    self->updateQueueCount();
    self->startTime_ = -1.0;
    self->runEnded_ = false;
    self->hudView_->setProgressTotal(0);
  });
}

void KVTabBarController::presentQueue() {
  performOnMainThread([weak = weakSelf(this), screens = screens_] {
    auto self = weak.lock();
    if (!self) return;
    KVConfirmationInputs inputs;
    inputs.delegate = self;
    // Over whatever is shown (a package page presented over the tabs asks from there).
    UIViewController* top = self.get();
    while (top->presentedViewController() && !top->presentedViewController()->isBeingDismissed())
      top = top->presentedViewController();
    top->presentViewController(KVScreens::inNavigation(screens->confirmation(std::move(inputs))), true);
  });
}

void KVTabBarController::presentTasks() {
  performOnMainThread([weak = weakSelf(this), screens = screens_] {
    auto self = weak.lock();
    if (!self) return;
    bool verbose = QuillbarkPersistentPreferences::sharedInstance().boolForKey("ShowVerboseUI");
    auto screen = verbose ? screens->verboseLog() : screens->tasks(true);
    self->presentViewController(std::make_shared<UINavigationController>(screen), true);
  });
}
