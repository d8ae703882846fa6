#pragma once
// One row of the task list: the task's icon, title, current description, its status
// word ("Active" or "Idle") with a spinner, and its progress, which follows the
// pipeline's progress notices for its task.
#include <memory>
#include <string>

#include "foundation/NotificationToken.h"
#include "uikit/UITableViewCell.h"

class KVTask;
class UIActivityIndicatorView;
class UIImageView;
class UILabel;
class UIProgressView;

class TasksCell : public UITableViewCell {
 public:
  enum Status : int { Active = 2, Idle = 4 };

  explicit TasksCell(const std::string& reuseIdentifier = "cell");
  // The interface file "TasksCell" (start-up registers it).
  static void registerInterfaceFile();

  const std::shared_ptr<KVTask>& task() const { return task_; }
  void setTask(std::shared_ptr<KVTask> task) { task_ = std::move(task); }
  void setTitle(const std::string& title);
  void setDescription(const std::string& description);
  void setStatus(int status);
  int status() const { return status_; }
  std::string description() const;

  UIImageView* taskIconView() const { return icon_; }
  UILabel* taskNameLbl() const { return name_; }
  UILabel* taskDescriptionLbl() const { return description_; }
  UILabel* taskStatusLbl() const { return status_label_; }
  UIActivityIndicatorView* indicator() const { return indicator_; }
  UIProgressView* taskProgressBar() const { return progress_; }
  UIView* separator() const { return separator_; }

 private:
  std::shared_ptr<KVTask> task_;
  UIImageView* icon_ = nullptr;
  UILabel* name_ = nullptr;
  UILabel* description_ = nullptr;
  UILabel* status_label_ = nullptr;
  UIActivityIndicatorView* indicator_ = nullptr;
  UIProgressView* progress_ = nullptr;
  UIView* separator_ = nullptr;
  int status_ = Idle;
  bool indicatorShown_ = false;
  NotificationToken progressObservation_;
};
