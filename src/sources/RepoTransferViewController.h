#pragma once
// The import of the sources of three other package managers of the device (Cydia, Zebra
// and Sileo): one tile with a check box each, and Continue, which reads the chosen
// managers' source lists, adds every location that is not a source yet, and moves on.
// It is the last screen of the first run: there it marks the first run done
// ("setupDone"), announces "KVRSourceImportDidComplete" and closes the whole walk. From
// the settings it only closes itself. Either way every source is refreshed once the
// imported ones are written. Opened through KVScreens::sourceImport.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"

class UIButton;
class UIControl;
class UIImage;
class UIImageView;
class UILabel;

inline constexpr const char* KVRSourceImportDidCompleteNotification = "KVRSourceImportDidComplete";

class RepoTransferViewController : public KVPalettedViewController {
 public:
  // The most sources one import adds. A device's lists name tens of sources, the longest
  // a few hundred; a list is package data, and every source imported is refreshed at
  // once and shown on the manage tab, so a list of a hundred thousand lines is cut here.
  static constexpr size_t kMaxImportedSources = 1000;

  // The device paths of each manager's source lists.
  static const std::vector<std::string>& cydiaSourceLists();
  static const std::vector<std::string>& zebraSourceLists();
  static const std::vector<std::string>& sileoSourceLists();

  RepoTransferViewController(KVScreenContext context, bool invokedFromSettings);

  bool isInvokedFromSettings() const { return isInvokedFromSettings_; }
  bool cydiaSelected() const { return selected_[0]; }
  bool zebraSelected() const { return selected_[1]; }
  bool sileoSelected() const { return selected_[2]; }

  void loadView() override;
  void viewDidLoad() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // Tile taps: each flips its manager.
  void cydiaButton();
  void zebraButton();
  void sileoButton();
  // A tile pressed and let go: it gives a little under the finger.
  void buttonPressed(UIControl& sender);
  void buttonReleased(UIControl& sender);
  static void setScale(double scale, UIView* view);

  void repoTransferContinueButton();
  // Adds the new locations in the background and moves on at once.
  void launchSourceImportFromSourceCollection(const std::set<std::string>& locations);
  void nextViewController();

  UILabel* titleLabel() const { return titleLabel_; }
  UIImageView* cydiaCheckbox() const { return checkboxes_[0]; }
  UIImageView* zebraCheckbox() const { return checkboxes_[1]; }
  UIImageView* sileoCheckbox() const { return checkboxes_[2]; }
  UIView* cydiaTile() const { return tiles_[0]; }
  UIView* zebraTile() const { return tiles_[1]; }
  UIView* sileoTile() const { return tiles_[2]; }

 private:
  // The refresh that follows the import: due once the screen has moved on (1 s later in
  // the first run, after the dismissal from the settings) and once the additions are
  // written, whichever comes last.
  struct PendingRefresh;

  void flip(int manager);
  void showCheckboxes();

  KVScreenContext context_;
  bool isInvokedFromSettings_ = false;
  bool selected_[3] = {false, false, false};
  bool leaving_ = false;
  std::shared_ptr<PendingRefresh> pendingRefresh_;
  std::shared_ptr<UIImage> checkedImage_, uncheckedImage_;
  UILabel* titleLabel_ = nullptr;
  UILabel* wordsLabel_ = nullptr;
  UIImageView* checkboxes_[3] = {};
  UIView* tiles_[3] = {};
  UIButton* tileButtons_[3] = {};
};
