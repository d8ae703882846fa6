#pragma once
// A progress page for the end of the first run: on appearing it marks the first run done,
// announces "KVRSourceImportDidComplete" and a second later refreshes the given sources
// (or all of them); its bar follows the pipeline's tasks down to none, and a second after
// the last one its Continue button comes alive and closes the walk. Nothing in the
// application opens it: the import screen ends the walk itself.
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"

class UIButton;
class UILabel;
class UIProgressView;

class RepoImportProgressViewController : public KVPalettedViewController {
 public:
  explicit RepoImportProgressViewController(KVScreenContext context);

  const std::vector<std::string>& sourcesToRefresh() const { return sourcesToRefresh_; }
  void setSourcesToRefresh(std::vector<std::string> locations) { sourcesToRefresh_ = std::move(locations); }
  // The screen Continue closes; without one, the walk from the screen it began over.
  void setControllerToDismiss(std::weak_ptr<UIViewController> controller) { controllerToDismiss_ = std::move(controller); }
  size_t taskCount() const { return taskCount_; }

  void loadView() override;
  void viewDidAppear(bool animated) override;
  void registerScreenNotifications() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // The pipeline queued or finished a task: the bar shows how much of the most seen is done.
  void pipelineChanged();
  // Continue.
  void dismissView();

  UIProgressView* progressView() const { return progressView_; }
  UIButton* continueButton() const { return continueButton_; }

 private:
  void enableContinueSoon();

  KVScreenContext context_;
  std::vector<std::string> sourcesToRefresh_;
  std::weak_ptr<UIViewController> controllerToDismiss_;
  size_t taskCount_ = 0;
  bool started_ = false;
  UILabel* titleLabel_ = nullptr;
  UIProgressView* progressView_ = nullptr;
  UIButton* continueButton_ = nullptr;
};
