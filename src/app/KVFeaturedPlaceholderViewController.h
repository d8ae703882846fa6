#pragma once
// The first tab until the featured screen and its first-run walk are built: the
// placeholder of the featured screen that, while the first run is not done ("setupDone"
// not set), says that no source refreshes until it is, and offers a button that ends the
// first run as the walk's last step does.
#include <memory>

#include "app/KVPlaceholderViewController.h"

class KVRSources;
class UIButton;
class UILabel;

class KVFeaturedPlaceholderViewController : public KVPlaceholderViewController {
 public:
  static constexpr const char* kMarkFirstRunDoneTitle = "Mark First Run Done";

  explicit KVFeaturedPlaceholderViewController(std::shared_ptr<KVRSources> sources);

  void loadView() override;
  void viewWillAppear(bool animated) override;

  // Sets "setupDone", announces the end of the import ("KVRSourceImportDidComplete")
  // and refreshes every source 1 s later.
  void markFirstRunDone();

 private:
  void showFirstRunState();

  std::shared_ptr<KVRSources> sources_;
  std::shared_ptr<UILabel> notice_;
  std::shared_ptr<UIButton> markDone_;
};
