#pragma once
// The modal "Tasks" screen that shows, as a growing coloured log, what the running tasks
// report through "UpdateVerboseView": the command lines, APT's and dpkg's output line by
// line (warnings yellow, errors red), errors and the end of the work. While it is on
// screen the pipeline's after-install question (restart the home screen or reboot)
// becomes its action button; whenever it goes away, by its Close button or otherwise,
// the pipeline asks with its own card again.
#include <memory>
#include <string>
#include <vector>

#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "uikit/NSLayoutConstraint.h"

class KVTask;
class KVVerboseLogView;
class UIButton;
class UIProgressView;

inline constexpr const char* KVUpdateVerboseViewNotification = "UpdateVerboseView";

class TasksVerboseViewController : public KVPalettedViewController {
 public:
  // The log kinds of appendString: their colours.
  enum LogKind : int { Plain = 0, Warning = 1, Failure = 2, Tint = 3, Success = 4 };

  TasksVerboseViewController();
  ~TasksVerboseViewController() override;

  // Appends the text in the kind's colour; nothing for an absent text.
  void appendString(const std::optional<std::string>& text, int type);
  void updateVerboseViewWithStatus(const Notification& notification);
  void pipelineManagerNotification(const Notification& notification);
  void updateVerboseActionButton(const Notification& notification);
  void close();
  void actionButtonTapped();
  void setContent();

  KVVerboseLogView* tasksProgressTextView() const { return log_; }
  UIProgressView* progressBar() const { return progressBar_; }
  UIButton* closeBtn() const { return closeBtn_; }
  UIButton* actionButton() const { return actionButton_; }
  const std::shared_ptr<NSLayoutConstraint>& actionButtonHeight() const { return actionButtonHeight_; }
  double taskProgress() const { return taskProgress_; }
  const std::string& piaToLaunch() const { return piaToLaunch_; }
  static UIFont getVerboseFont();

  void loadView() override;
  void viewDidLoad() override;
  void viewDidLayoutSubviews() override;
  void viewWillAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void paletteWillChangeToStyle(uint32_t style) override;

 private:
  void observeAll();
  void stopObserving();
  static void postShowPIAAlertStatus(bool show);
  void hideProgressBar();

  KVVerboseLogView* log_ = nullptr;
  UIProgressView* progressBar_ = nullptr;
  UIButton* closeBtn_ = nullptr;
  UIButton* actionButton_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> actionButtonHeight_;
  double taskProgress_ = 0;
  std::string piaToLaunch_ = "None";
  std::vector<NotificationToken> tokens_;
  bool pipelineAsksHere_ = false;
  // The tasks listed when the screen began to listen: it did not hear them from their start.
  std::vector<std::weak_ptr<KVTask>> tasksAtLoad_;
  // Something was told since the marker that no task runs any more (or since the start).
  bool toldSinceMarker_ = false;
};
