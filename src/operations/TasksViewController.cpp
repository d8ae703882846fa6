#include "operations/TasksViewController.h"

#include <algorithm>

#include "core/KVPipelineManager.h"
#include "core/KVTask.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "operations/TasksCell.h"
#include "uikit/UIActivityIndicatorView.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"

namespace {
bool ignoredPipeline(const std::string& pipeline) {
  return pipeline.empty() || pipeline == KVPipelineErrors || pipeline == KVPipelineMisc || pipeline == KVPipelineSearch;
}
}  // namespace

TasksViewController::TasksViewController() = default;

TasksViewController::~TasksViewController() { stopObserving(); }

void TasksViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  auto table = std::make_shared<UITableView>(screen, UITableViewStylePlain);
  table->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
  auto label = std::make_shared<UILabel>(CGRect::make(20, screen.height() / 2 - 20, screen.width() - 40, 40));
  label->setText(NSLocalizedString("No Running Tasks"));
  label->setTextAlignment(NSTextAlignmentCenter);
  view()->addSubview(table);
  view()->addSubview(label);
  table_ = table.get();
  label_ = label.get();
}

void TasksViewController::viewDidLoad() {
  setOverrideLargeTitles(true);
  setOverrideTranslucentNavBar(true);
  KVPalettedViewController::viewDidLoad();
  table_->setTableDelegate(this);
  table_->setDataSource(this);
  table_->registerNib("TasksCell", "cell");
  if (shownFromGesture_) {
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { closeView(); }));
  }
  setTitle(NSLocalizedString("Tasks"));
  auto& center = NotificationCenter::defaultCenter();
  for (const char* name : {KVPipelineTaskQueuedNotification, KVPipelineTaskFinishedNotification,
                           KVPipelineTaskProgressNotification, KVPipelineTaskStatusNotification,
                           KVPipelineTaskChangedNotification}) {
    tokens_.push_back(center.addObserver(name, [this](const Notification& n) { pipelineManagerNotification(n); }));
  }
}

void TasksViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  table_->setBackgroundColor(UIColor::clearColor());
  tasks_ = KVPipelineManager::sharedManager().tasksArray();
  DispatchQueue::mainQueue().async([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->showContent();
  });
}

void TasksViewController::showContent() {
  table_->setHidden(tasks_.empty());
  label_->setHidden(!tasks_.empty());
  if (!tasks_.empty()) table_->reloadData();
}

void TasksViewController::viewDidDisappear(bool animated) {
  KVPalettedViewController::viewDidDisappear(animated);
  shownFromGesture_ = false;
}

void TasksViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (palette) view()->setBackgroundColor(palette->backgroundColor());
}

void TasksViewController::stopObserving() {
  for (auto& token : tokens_) token.invalidate();
  tokens_.clear();
}

void TasksViewController::closeView() {
  stopObserving();
  dismissViewControllerAnimated(true);
}

std::optional<size_t> TasksViewController::indexOf(const KVTask* task) const {
  auto it = std::find_if(tasks_.begin(), tasks_.end(), [task](const auto& t) { return t.get() == task; });
  if (it == tasks_.end()) return std::nullopt;
  return static_cast<size_t>(it - tasks_.begin());
}

long TasksViewController::tableViewNumberOfRowsInSection(UITableView&, long) { return static_cast<long>(tasks_.size()); }

std::shared_ptr<UITableViewCell> TasksViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                     const NSIndexPath& path) {
  const size_t row = static_cast<size_t>(path.row);
  // The list may have shrunk since the table asked for its rows.
  if (path.row < 0 || row >= tasks_.size()) {
    auto plain = table.dequeueReusableCellWithIdentifier("nil");
    return plain ? plain : std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "nil");
  }
  auto cell = std::dynamic_pointer_cast<TasksCell>(table.dequeueReusableCellWithIdentifier("cell"));
  if (!cell) cell = std::make_shared<TasksCell>("cell");
  const std::shared_ptr<KVTask>& task = tasks_[row];
  if (palette()) cell->taskNameLbl()->setTextColor(palette()->primaryTextColor());
  cell->setBackgroundColor(view()->backgroundColor());

  if (task->pipelineID() == KVPipelineSourceRefresh) {
    if (auto icon = task->icon()) cell->taskIconView()->setImage(icon);
  } else {
    cell->taskIconView()->setImage(UIImage::imageNamed("iTunesArtwork.png"));
  }
  cell->taskIconView()->layer().cornerRadius = cell->taskIconView()->frame().height() * 0.2237;
  cell->taskIconView()->setClipsToBounds(true);
  cell->separator()->setHidden(row + 1 == tasks_.size());

  std::string title = NSLocalizedString("Processing");
  if (task->pipelineID() == KVPipelineSourceRefresh)
    title = NSLocalizedString("Refreshing") + " " + task->taskLocalizedObjectName();
  else if (task->pipelineID() == KVPipelineSearch)
    title = NSLocalizedString("Searching");
  cell->setTask(task);
  cell->setTitle(title);
  cell->setDescription(task->taskDescription());
  cell->setStatus(row < 10 ? TasksCell::Active : TasksCell::Idle);
  return cell;
}

bool TasksViewController::tableViewCanEditRowAtIndexPath(UITableView&, const NSIndexPath& path) {
  return path.row >= 0 && static_cast<size_t>(path.row) < tasks_.size();
}

void TasksViewController::tableViewCommitEditingStyle(UITableView& table, UITableViewCellEditingStyle,
                                                      const NSIndexPath& path) {
  if (path.row < 0 || static_cast<size_t>(path.row) >= tasks_.size()) return;
  std::shared_ptr<KVTask> task = tasks_[static_cast<size_t>(path.row)];
  if (!task->taskCanCancel()) return;
  tasks_.erase(tasks_.begin() + path.row);
  table.deleteRowsAtIndexPaths({path}, UITableViewRowAnimationFade);
  KVPipelineManager::sharedManager().cancelTask(task.get());
}

void TasksViewController::pipelineManagerNotification(const Notification& notification) {
  const std::string pipeline = notification.userInfo[KVPipelineUserInfoPipelineID].asString();
  if (ignoredPipeline(pipeline)) return;
  auto task = std::static_pointer_cast<KVTask>(notification.sender);
  if (!task || !isViewLoaded()) return;
  const std::string& name = notification.name;
  if (name == KVPipelineTaskQueuedNotification) {
    if (indexOf(task.get())) return;
    tasks_.push_back(task);
    table_->setHidden(false);
    label_->setHidden(true);
    table_->insertRowsAtIndexPaths({NSIndexPath::indexPathForRow(static_cast<long>(tasks_.size() - 1), 0)},
                                   UITableViewRowAnimationLeft);
  } else if (name == KVPipelineTaskFinishedNotification) {
    auto index = indexOf(task.get());
    if (!index) return;
    tasks_.erase(tasks_.begin() + static_cast<long>(*index));
    table_->deleteRowsAtIndexPaths({NSIndexPath::indexPathForRow(static_cast<long>(*index), 0)},
                                   UITableViewRowAnimationRight);
    table_->reloadData();
    if (tasks_.empty()) closeView();
  } else {
    auto index = indexOf(task.get());
    if (!index) return;
    auto cell = std::dynamic_pointer_cast<TasksCell>(
        table_->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(static_cast<long>(*index), 0)));
    if (!cell) return;
    cell->setDescription(task->taskDescription());
    if (name == KVPipelineTaskChangedNotification)
      cell->setStatus(notification.userInfo.contains("isActiveTask") ? TasksCell::Active : TasksCell::Idle);
  }
}
