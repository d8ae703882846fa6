#include "operations/TasksVerboseViewController.h"

#include <algorithm>

#include "core/KVPipelineManager.h"
#include "foundation/Dispatch.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "foundation/Log.h"
#include "operations/KVVerboseLogView.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"

namespace {

bool flag(const Value& info, const char* key) { return info[key].asBool(); }

bool ignoredPipeline(const std::string& pipeline) {
  return pipeline.empty() || pipeline == KVPipelineErrors || pipeline == KVPipelineMisc || pipeline == KVPipelineSearch;
}

std::shared_ptr<KVTask> taskOf(const Notification& notification) {
  return std::static_pointer_cast<KVTask>(notification.sender);
}

bool pipelineLists(const KVTask* task) {
  for (const auto& listed : KVPipelineManager::sharedManager().tasksArray())
    if (listed.get() == task) return true;
  return false;
}

}  // namespace

TasksVerboseViewController::TasksVerboseViewController() = default;

TasksVerboseViewController::~TasksVerboseViewController() {
  stopObserving();
  if (pipelineAsksHere_) postShowPIAAlertStatus(true);
}

UIFont TasksVerboseViewController::getVerboseFont() { return UIFont::fontWithName("Menlo-Regular", 12); }

// The interface file's arrangement: the log over the whole screen, the progress bar
// under the navigation bar, the action button (hidden) above the close button.
void TasksVerboseViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double buttonsTop = screen.height() - 20 - 53;
  auto log = std::make_shared<KVVerboseLogView>(CGRect::make(12, 68, screen.width() - 24, buttonsTop - 68 - 12));
  log->setBackgroundColor(UIColor::clearColor());
  // The log's white text stands on the bar's dark grey; nothing below shows through.
  view()->setBackgroundColor(UIColor::colorWithRed(0.14, 0.14, 0.14, 1.0));
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 64, screen.width(), 2));
  auto action = UIButton::buttonWithType(UIButtonTypeCustom);
  action->setFrame(CGRect::make(20, buttonsTop - 53 - 10, screen.width() - 40, 53));
  auto closeButton = UIButton::buttonWithType(UIButtonTypeCustom);
  closeButton->setFrame(CGRect::make(20, buttonsTop, screen.width() - 40, 53));
  closeButton->setTitle(NSLocalizedString("Close"));
  for (auto* button : {action.get(), closeButton.get()}) {
    button->setBackgroundColor(UIColor::colorWithRed(0.24, 0.24, 0.24, 1.0));
    button->setTitleColor(UIColor::whiteColor());
  }
  actionButtonHeight_ = action->heightAnchor().constraintEqualToConstant(53);
  NSLayoutConstraint::activateConstraints({actionButtonHeight_});
  action->addTarget(this, [this](UIControl&) { actionButtonTapped(); }, UIControlEventTouchUpInside);
  closeButton->addTarget(this, [this](UIControl&) { close(); }, UIControlEventTouchUpInside);
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{log, progress, action, closeButton})
    view()->addSubview(v);
  log_ = log.get();
  progressBar_ = progress.get();
  actionButton_ = action.get();
  closeBtn_ = closeButton.get();
}

// The same arrangement in the screen's own bounds: presented as a sheet it is shorter
// than the screen, and the close button stays above its bottom edge.
void TasksVerboseViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  CGRect bounds = view()->bounds();
  double top = 64;
  if (auto* nav = navigationController(); nav && !nav->navigationBar()->isHidden())
    top = nav->navigationBar()->frame().maxY();
  double buttonsTop = bounds.height() - std::max(20.0, view()->safeAreaInsetsWithoutBars().bottom) - 53;
  progressBar_->setFrame(CGRect::make(0, top, bounds.width(), 2));
  log_->setFrame(CGRect::make(12, top + 4, bounds.width() - 24, std::max(0.0, buttonsTop - top - 4 - 12)));
  actionButton_->setFrame(CGRect::make(20, buttonsTop - actionButton_->frame().height() - 10, bounds.width() - 40,
                                       actionButton_->frame().height()));
  closeBtn_->setFrame(CGRect::make(20, buttonsTop, bounds.width() - 40, 53));
}

void TasksVerboseViewController::viewDidLoad() {
  setOverrideLargeTitles(true);
  setOverrideTranslucentNavBar(true);
  KVPalettedViewController::viewDidLoad();
  actionButtonHeight_->setConstant(0);
  actionButton_->setAlpha(0);
  actionButton_->setHidden(true);
  observeAll();
  for (const auto& task : KVPipelineManager::sharedManager().tasksArray()) tasksAtLoad_.push_back(task);
  setTitle(NSLocalizedString("Tasks"));
  taskProgress_ = 0;
}

void TasksVerboseViewController::observeAll() {
  auto& center = NotificationCenter::defaultCenter();
  for (const char* name : {KVPipelineTaskQueuedNotification, KVPipelineTaskFinishedNotification,
                           KVPipelineTaskProgressNotification, KVPipelineTaskStatusNotification}) {
    tokens_.push_back(center.addObserver(name, [this](const Notification& n) { pipelineManagerNotification(n); }));
  }
  tokens_.push_back(center.addObserver(KVUpdateVerboseViewNotification,
                                       [this](const Notification& n) { updateVerboseViewWithStatus(n); }));
  tokens_.push_back(center.addObserver("UpdateVerboseActionButton",
                                       [this](const Notification& n) { updateVerboseActionButton(n); }));
}

void TasksVerboseViewController::stopObserving() {
  for (auto& token : tokens_) token.invalidate();
  tokens_.clear();
}

void TasksVerboseViewController::postShowPIAAlertStatus(bool show) {
  NotificationCenter::defaultCenter().postOnMainThreadAsync(Notification{
      "ChangeShowPIAAlertStatus", Value(), Value::dict({{"showPIAAlertStatus", show}}), nullptr, nullptr});
}

void TasksVerboseViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  // While the log is on screen the pipeline asks here, through the action button.
  if (!pipelineAsksHere_) {
    pipelineAsksHere_ = true;
    postShowPIAAlertStatus(false);
  }
  closeBtn_->layer().cornerRadius = 10;
  actionButton_->layer().cornerRadius = 10;
  setContent();
}

void TasksVerboseViewController::viewDidDisappear(bool animated) {
  KVPalettedViewController::viewDidDisappear(animated);
  // However the screen went away, the pipeline asks with its own card again.
  if (pipelineAsksHere_) {
    pipelineAsksHere_ = false;
    postShowPIAAlertStatus(true);
  }
}

void TasksVerboseViewController::paletteWillChangeToStyle(uint32_t) {
  setOverrideColor(UIColor::colorWithRed(0.14, 0.14, 0.14, 1.0), "navBarColor");
  setOverrideColor(UIColor::whiteColor(), "primaryTextColor");
  // The log is dark in every palette: its tinted lines in the tint of a dark palette,
  // which stands out from the dark grey (a light palette's deep tint does not).
  setOverrideColor(KVPalette::paletteWithStyle(2)->tintColor(), "tintColor");
}

void TasksVerboseViewController::setContent() {
  auto tasks = KVPipelineManager::sharedManager().tasksArray();
  if (!tasks.empty()) {
    const auto& first = tasks.front();
    // A log that has listened since before the task was queued has its lines already.
    bool heardItAll = std::none_of(tasksAtLoad_.begin(), tasksAtLoad_.end(),
                                   [&first](const std::weak_ptr<KVTask>& listed) { return listed.lock() == first; });
    if (first->taskProgress() != -1 && !heardItAll) appendString(first->taskDescription(), Plain);
    progressBar_->setProgress(static_cast<float>(first->taskProgress()), false);
    return;
  }
  // What tasks that ended before the screen came told it may still be on its way (their
  // lines come on the main queue): the log is looked at once they are in.
  DispatchQueue::mainQueue().async([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self || !KVPipelineManager::sharedManager().tasksArray().empty()) return;
    if (self->log_->attributedText().empty()) {
      self->appendString(NSLocalizedString("> No more running tasks"), Tint);
      self->toldSinceMarker_ = false;
    }
    self->progressBar_->setProgress(1, true);
    self->view()->setNeedsLayout();
    self->hideProgressBar();
  });
}

void TasksVerboseViewController::hideProgressBar() { progressBar_->setHidden(true); }

void TasksVerboseViewController::appendString(const std::optional<std::string>& text, int type) {
  if (!text || !isViewLoaded()) return;
  toldSinceMarker_ = true;
  const auto& colours = palette();
  UIColor colour = colours ? colours->primaryTextColor() : UIColor::whiteColor();
  switch (type) {
    case Warning: colour = UIColor::systemYellowColor(); break;
    case Failure: colour = KVVerboseLogView::failureColor(); break;
    case Tint: if (colours) colour = colours->tintColor(); break;
    case Success: colour = UIColor::systemGreenColor(); break;
    default: break;
  }
  log_->appendText(*text, colour, getVerboseFont());
}

void TasksVerboseViewController::updateVerboseViewWithStatus(const Notification& notification) {
  const Value& info = notification.userInfo;
  if (!info["Message"].isString()) return;
  const std::string& message = info["Message"].asString();
  if (flag(info, "isForStream")) {
    appendString(message, flag(info, "isStreamWarning") ? Warning : flag(info, "isStreamError") ? Failure : Plain);
  } else if (flag(info, "Error")) {
    appendString(message, Failure);
  } else {
    appendString((flag(info, "isForCommand") ? "\n" : "\n\n") + message, Plain);
  }
  log_->scrollToEnd();
}

void TasksVerboseViewController::pipelineManagerNotification(const Notification& notification) {
  const std::string pipeline = notification.userInfo[KVPipelineUserInfoPipelineID].asString();
  if (ignoredPipeline(pipeline)) {
    KVLog("Tasks manager: ignoring task %s for pipeline %s",
          notification.userInfo[KVPipelineUserInfoTaskID].asString().c_str(), pipeline.c_str());
    return;
  }
  if (notification.name == KVPipelineTaskFinishedNotification) {
    // Only after something was told: a log made before its tasks start hears others end.
    if (!KVPipelineManager::sharedManager().tasksArray().empty() || !toldSinceMarker_) return;
    appendString("\n\n> No more running tasks", Tint);
    toldSinceMarker_ = false;
    log_->scrollToEnd();
    hideProgressBar();
  } else if (notification.name == KVPipelineTaskProgressNotification) {
    auto task = taskOf(notification);
    if (!task || !pipelineLists(task.get())) return;
    double progress = task->taskProgress();
    if (progress == taskProgress_) return;
    taskProgress_ = progress;
    progressBar_->setHidden(false);
    progressBar_->setProgress(static_cast<float>(progress), false);
  }
}

void TasksVerboseViewController::updateVerboseActionButton(const Notification& notification) {
  piaToLaunch_ = notification.userInfo["action"].asString();
  if (piaToLaunch_ == "None" || piaToLaunch_.empty()) return;
  actionButton_->setTitle(piaToLaunch_);
  actionButtonHeight_->setConstant(53);
  actionButton_->setHidden(false);
  actionButton_->setAlpha(1);
  view()->layoutIfNeeded();
  hideProgressBar();
}

void TasksVerboseViewController::actionButtonTapped() {
  // Through the pipeline's one launcher path, which maps the device tools into the root.
  auto& pipeline = KVPipelineManager::sharedManager();
  bool started = true;
  if (piaToLaunch_ == "Reboot") started = pipeline.launchRebootCommand();
  else if (piaToLaunch_ == "Respring") started = pipeline.launchRespringCommand();
  else return;
  if (!started) appendString("\n\n" + NSLocalizedFormat("The %@ command could not be started.", {piaToLaunch_}), Failure);
}

void TasksVerboseViewController::close() {
  stopObserving();
  if (pipelineAsksHere_) {
    pipelineAsksHere_ = false;
    postShowPIAAlertStatus(true);
  }
  dismissViewControllerAnimated(true);
}
