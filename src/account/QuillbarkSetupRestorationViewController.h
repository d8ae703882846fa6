#pragma once
// What a saved setup holds, as two checklists (its sources and its packages, each in the
// backup's order), to choose what to restore; Restore now asks for a confirmation and,
// when the settings want it, the device owner's authentication, then restores once: the
// chosen sources the device lacks are added and refreshed, and when no refresh of them
// is left the chosen packages are queued for installation and the screen closes. The
// queue is then confirmed as any other. Made by the account screen.
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "foundation/NotificationToken.h"
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"
#include "uikit/UITableView.h"

class NSLayoutConstraint;
class UIBarButtonItem;
class UILabel;
class UIScrollView;

// Keys in the backup's order, each with whether it is chosen; a key appears once.
using KVRestoreChecklist = std::vector<std::pair<std::string, bool>>;

class QuillbarkSetupRestorationViewController : public KVPalettedViewController,
                                                public UITableViewDataSource,
                                                public UITableViewDelegate {
 public:
  static constexpr double kRowHeight = 44;

  QuillbarkSetupRestorationViewController(KVScreenContext context, KVRestoreChecklist sourcesToRestore,
                                          KVRestoreChecklist packagesToRestore);

  const KVRestoreChecklist& sourcesToRestoreDict() const { return sources_; }
  const KVRestoreChecklist& packagesToRestoreDict() const { return packages_; }
  size_t countOfSelectedSources() const;
  size_t countOfSelectedPackages() const;
  std::vector<std::string> selectedSources() const;
  std::vector<std::string> selectedPackages() const;
  // Whether Restore now has started the restore (it runs once).
  bool isRestoring() const { return restoring_; }

  void setCell(UITableViewCell& cell, bool selected);
  // The "Restore now" button.
  void restoreQuillbarkSetup();
  // The sources part when a source is chosen, else the packages part.
  void launchSetupRestoration();
  void launchSetupRestorationSourcesPart();
  void launchSetupRestorationPackagesPart();
  // A source's refresh ended: the packages part once none of the restored ones is left
  // and no refresh runs.
  void sourceRefreshed(const Notification& notification);
  void refreshesEnded();
  void backSwipe();

  UIScrollView* scrollView() const { return scrollView_; }
  UITableView* sourcesTableView() const { return sourcesTableView_; }
  UITableView* packagesTableView() const { return packagesTableView_; }
  UILabel* selectedSourcesLabel() const { return selectedSourcesLabel_; }
  UILabel* selectedPackagesLabel() const { return selectedPackagesLabel_; }
  NSLayoutConstraint* sourcesTableViewHeightConstraint() const { return sourcesHeight_.get(); }
  NSLayoutConstraint* packagesTableViewHeightConstraint() const { return packagesHeight_.get(); }

  void loadView() override;
  void viewDidLoad() override;
  void setContent();
  void paletteWillChangeToStyle(uint32_t style) override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  long numberOfSectionsInTableView(UITableView&) override { return 1; }
  long tableViewNumberOfRowsInSection(UITableView& table, long section) override;
  std::shared_ptr<UITableViewCell> tableViewCellForRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  void tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) override;
  double tableViewHeightForRowAtIndexPath(UITableView&, const NSIndexPath&) override { return kRowHeight; }

 private:
  KVRestoreChecklist& listOf(UITableView& table);
  void showSelectedCounts();
  void showAlert(const std::string& title, const std::string& message, const std::string& closeTitle,
                 std::function<void()> close = nullptr);
  // The new sources are written; their refreshes wait for the packages part.
  void sourcesAdded(std::vector<std::string> added);

  KVScreenContext context_;
  KVRestoreChecklist sources_;
  KVRestoreChecklist packages_;
  bool restoring_ = false;
  bool packagesQueued_ = false;
  // The restored sources whose refresh has not ended yet; none until they are written.
  std::optional<std::set<std::string>> refreshing_;
  NotificationToken sourceUpdates_;
  NotificationToken refreshRunEnded_;
  std::shared_ptr<UIBarButtonItem> restoreButton_;
  UIScrollView* scrollView_ = nullptr;
  UILabel* sourcesTitle_ = nullptr;
  UILabel* packagesTitle_ = nullptr;
  UITableView* sourcesTableView_ = nullptr;
  UITableView* packagesTableView_ = nullptr;
  UILabel* selectedSourcesLabel_ = nullptr;
  UILabel* selectedPackagesLabel_ = nullptr;
  std::shared_ptr<NSLayoutConstraint> sourcesHeight_;
  std::shared_ptr<NSLayoutConstraint> packagesHeight_;
};
