#include "operations/TasksCell.h"

#include "core/KVPipelineManager.h"
#include "core/KVTask.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "uikit/UIActivityIndicatorView.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"
#include "uikit/UIProgressView.h"

namespace {
UIColor statusColour() { return UIColor::colorWithRed(0.45, 0.3, 0.15, 1.0); }

bool darkPreferences() {
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  return preferences.boolForKey("DarkMode") || preferences.boolForKey("AppleDarkMode") ||
         preferences.boolForKey("TrueDarkMode");
}
}  // namespace

// The interface file's arrangement of a 106-point row.
TasksCell::TasksCell(const std::string& reuseIdentifier) : UITableViewCell(UITableViewCellStyleDefault, reuseIdentifier) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 16, 50, 50));
  auto name = std::make_shared<UILabel>(CGRect::make(78, 14, 220, 20));
  name->setFont(UIFont::boldSystemFontOfSize(16));
  auto description = std::make_shared<UILabel>(CGRect::make(78, 36, 270, 34));
  description->setFont(UIFont::systemFontOfSize(13));
  description->setNumberOfLines(2);
  auto status = std::make_shared<UILabel>(CGRect::make(300, 14, 60, 20));
  status->setFont(UIFont::systemFontOfSize(13, UIFontWeightMedium));
  auto indicator = std::make_shared<UIActivityIndicatorView>();
  indicator->setFrame(CGRect::make(270, 14, 20, 20));
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(78, 84, 270, 2));
  auto separator = std::make_shared<UIView>(CGRect::make(16, 105, 343, 1));
  separator->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{name, status, description, icon, indicator, progress, separator})
    contentView()->addSubview(v);
  icon_ = icon.get();
  name_ = name.get();
  description_ = description.get();
  status_label_ = status.get();
  indicator_ = indicator.get();
  progress_ = progress.get();
  separator_ = separator.get();

  // The progress bar follows its task from the moment the row exists.
  progressObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVPipelineTaskProgressNotification, [this](const Notification& n) {
        if (task_ && n.sender.get() == static_cast<void*>(task_.get()))
          progress_->setProgress(static_cast<float>(task_->taskProgress()), true);
      });
}

void TasksCell::registerInterfaceFile() {
  UINib::registerView("TasksCell", [] { return std::make_shared<TasksCell>("cell"); });
}

void TasksCell::setTitle(const std::string& title) { name_->setText(title); }

void TasksCell::setDescription(const std::string& description) { description_->setText(description); }

std::string TasksCell::description() const {
  return "<KVTaskTableViewCell: 0x" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "  title=" + name_->text() +
         " desc=" + description_->text() + " progress=" + std::to_string(progress_->progress()) + ">";
}

void TasksCell::setStatus(int status) {
  status_ = status;
  if (status == Active) {
    status_label_->setText(NSLocalizedString("Active"));
    status_label_->setTextColor(statusColour());
    if (!indicatorShown_) {
      indicator_->setColor(darkPreferences() ? UIColor::whiteColor() : UIColor::grayColor());
      indicator_->setHidden(false);
      indicator_->startAnimating();
      indicatorShown_ = true;
    }
  } else if (status == Idle) {
    status_label_->setText(NSLocalizedString("Idle"));
    status_label_->setTextColor(statusColour());
    if (indicatorShown_) {
      indicator_->setHidden(true);
      indicator_->stopAnimating();
      indicatorShown_ = false;
    }
  }
}
