#include "sources/RepoImportProgressViewController.h"

#include <algorithm>

#include "core/KVPipelineManager.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "interface/KVFirstRunLayout.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "sources/RepoTransferViewController.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"

RepoImportProgressViewController::RepoImportProgressViewController(KVScreenContext context)
    : context_(std::move(context)) {
  setTitle(NSLocalizedString("Refreshing Sources"));
}

void RepoImportProgressViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double width = screen.width() - 48;
  titleLabel_ = KVFirstRunLayout::addHeading(*view(), NSLocalizedString("Refreshing Sources"), screen.height() * 0.35,
                                            24, NSTextAlignmentCenter);
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(24, screen.height() * 0.35 + 56, width, 4));
  progressView_ = progress.get();
  view()->addSubview(progress);
  continueButton_ = KVFirstRunLayout::addBottomButton(*view(), NSLocalizedString("Continue"), [this] { dismissView(); });
  continueButton_->setEnabled(false);
  continueButton_->setAlpha(0.5);
}

void RepoImportProgressViewController::viewDidAppear(bool animated) {
  KVPalettedViewController::viewDidAppear(animated);
  if (started_) return;
  started_ = true;
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(true), "setupDone");
  preferences.saveToFile();
  NotificationCenter::defaultCenter().post(KVRSourceImportDidCompleteNotification);
  performAfterWithBlock(1.0, [weak = weakSelf(this), sources = context_.sources, locations = sourcesToRefresh_] {
    bool started = true;
    if (locations.empty()) started = sources->refreshAllSources();
    else sources->refreshSources(locations);
    // Without a network nothing will end: the way on is not kept closed.
    if (!started)
      if (auto self = weak.lock()) self->enableContinueSoon();
  });
}

void RepoImportProgressViewController::registerScreenNotifications() {
  observe(KVPipelineTaskQueuedNotification, [this](const Notification&) { pipelineChanged(); });
  observe(KVPipelineTaskFinishedNotification, [this](const Notification&) { pipelineChanged(); });
}

void RepoImportProgressViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  titleLabel_->setTextColor(palette->primaryTextColor());
  progressView_->setProgressTintColor(palette->tintColor());
}

void RepoImportProgressViewController::pipelineChanged() {
  size_t now = KVPipelineManager::sharedManager().tasksArray().size();
  taskCount_ = std::max(taskCount_, now);
  if (taskCount_ > 0) progressView_->setProgress(1.0f - float(now) / float(taskCount_), true);
  if (now == 0) enableContinueSoon();
}

void RepoImportProgressViewController::enableContinueSoon() {
  performAfterWithBlock(1.0, [weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !KVPipelineManager::sharedManager().tasksArray().empty()) return;
    self->progressView_->setProgress(1.0f, true);
    self->continueButton_->setEnabled(true);
    UIButton* button = self->continueButton_;
    UIView::animateWithDuration(0.3, [button] { button->setAlpha(1.0); });
  });
}

void RepoImportProgressViewController::dismissView() {
  if (auto controller = controllerToDismiss_.lock()) {
    controller->dismissViewControllerAnimated(true);
    return;
  }
  UIViewController* first = this;
  while (UIViewController* presenter = first->presentingViewController()) first = presenter;
  first->dismissViewControllerAnimated(true);
}
