#pragma once
// The "Tasks" screen: the pipeline's running and waiting tasks, one row each with its
// current description and progress; a task that allows it is cancelled by swiping its
// row. Opened by the tab bar's card, it closes itself when the last task has ended.
#include <memory>
#include <vector>

#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "uikit/UITableView.h"

class KVTask;
class UILabel;

class TasksViewController : public KVPalettedViewController,
                            public UITableViewDataSource,
                            public UITableViewDelegate {
 public:
  TasksViewController();
  ~TasksViewController() override;

  const std::vector<std::shared_ptr<KVTask>>& tasks() const { return tasks_; }
  bool shownFromGesture() const { return shownFromGesture_; }
  void setShownFromGesture(bool shown) { shownFromGesture_ = shown; }
  UITableView* tasksTableView() const { return table_; }
  UILabel* tasksLabel() const { return label_; }

  void closeView();
  void pipelineManagerNotification(const Notification& notification);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;
  void viewDidDisappear(bool animated) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long tableViewNumberOfRowsInSection(UITableView&, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView&, const NSIndexPath& path) override;
  bool tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath& path) override;
  void tableViewCommitEditingStyle(UITableView&, UITableViewCellEditingStyle style, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return 106; }
  UITableViewCellEditingStyle tableViewEditingStyleForRowAtIndexPath(UITableView&, const NSIndexPath&) override {
    return UITableViewCellEditingStyleDelete;
  }

 private:
  void showContent();
  std::optional<size_t> indexOf(const KVTask* task) const;
  void stopObserving();

  std::vector<std::shared_ptr<KVTask>> tasks_;
  bool shownFromGesture_ = false;
  UITableView* table_ = nullptr;
  UILabel* label_ = nullptr;
  std::vector<NotificationToken> tokens_;
};
