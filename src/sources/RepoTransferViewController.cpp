#include "sources/RepoTransferViewController.h"

#include "core/QuillbarkPersistentPreferences.h"
#include "database/KVParsingUtility.h"
#include "database/KVRSources.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "interface/KVFirstRunLayout.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/WeakSelf.h"
#include "uikit/UIAlertController.h"
#include "uikit/UIButton.h"
#include "uikit/UIDevice.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "system/DeviceRoot.h"

namespace {
const char* const kManagerNames[3] = {"Cydia", "Zebra", "Sileo"};
}  // namespace

struct RepoTransferViewController::PendingRefresh {
  std::shared_ptr<KVRSources> sources;
  bool written = true;
  bool due = false;
  void refreshWhenReady() {
    if (!written || !due) return;
    due = false;
    sources->refreshAllSources();
  }
};

const std::vector<std::string>& RepoTransferViewController::cydiaSourceLists() {
  static const std::vector<std::string> lists = {"/etc/apt/sources.list.d/cydia.list", "/etc/apt/cydiasources.d/cydia.list"};
  return lists;
}

const std::vector<std::string>& RepoTransferViewController::zebraSourceLists() {
  // Zebra keeps its list in a folder named by its bundle identifier.
  static const std::vector<std::string> lists = {"/var/mobile/Library/Application Support/xyz.willy.Zebra/sources.list"};
  return lists;
}

const std::vector<std::string>& RepoTransferViewController::sileoSourceLists() {
  static const std::vector<std::string> lists = {"/etc/apt/sources.list.d/sileo.sources"};
  return lists;
}

RepoTransferViewController::RepoTransferViewController(KVScreenContext context, bool invokedFromSettings)
    : context_(std::move(context)), isInvokedFromSettings_(invokedFromSettings) {
  setTitle(NSLocalizedString("Import Sources"));
}

// The interface file "RepoTransferViewController": the title, a few words, the three
// tiles and Continue.
void RepoTransferViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double width = screen.width() - 48;
  titleLabel_ = KVFirstRunLayout::addHeading(*view(), NSLocalizedString("Bring Your Sources"), 80, 28);
  auto words = std::make_shared<UILabel>(CGRect::make(24, 124, width, 60));
  words->setNumberOfLines(0);
  words->setText(NSLocalizedString("Choose the package managers whose sources you want here too."));
  view()->addSubview(words);
  wordsLabel_ = words.get();
  void (RepoTransferViewController::*flips[3])() = {&RepoTransferViewController::cydiaButton,
                                                    &RepoTransferViewController::zebraButton,
                                                    &RepoTransferViewController::sileoButton};
  double y = 200;
  for (int i = 0; i < 3; ++i) {
    auto tile = std::make_shared<UIView>(CGRect::make(24, y, width, 64));
    tile->layer().cornerRadius = 12;
    auto check = std::make_shared<UIImageView>();
    check->setFrame(CGRect::make(16, 20, 24, 24));
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(CGRect::make(0, 0, width, 64));
    button->setTitle(kManagerNames[i]);
    auto flip = flips[i];
    button->addTarget(this, [this](UIControl& sender) { buttonPressed(sender); }, UIControlEventTouchDown);
    button->addTarget(
        this,
        [this, flip](UIControl& sender) {
          (this->*flip)();
          buttonReleased(sender);
        },
        UIControlEventTouchUpInside);
    button->addTarget(this, [this](UIControl& sender) { buttonReleased(sender); },
                      UIControlEventTouchUpOutside | UIControlEventTouchCancel);
    tile->addSubview(check);
    tile->addSubview(button);
    view()->addSubview(tile);
    tiles_[i] = tile.get();
    checkboxes_[i] = check.get();
    tileButtons_[i] = button.get();
    y += 80;
  }
  KVFirstRunLayout::addBottomButton(*view(), NSLocalizedString("Continue"), [this] { repoTransferContinueButton(); });
}

void RepoTransferViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  checkedImage_ = UIImage::imageNamed("repo-checked");
  uncheckedImage_ = UIImage::imageNamed("repo-unselected");
  if (!isInvokedFromSettings_ && UIDevice::currentDevice().systemVersionIsAtLeast("13.0")) setModalInPresentation(true);
  showCheckboxes();
}

void RepoTransferViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  titleLabel_->setTextColor(palette->primaryTextColor());
  wordsLabel_->setTextColor(palette->secondaryTextColor());
  for (UIView* tile : tiles_) tile->setBackgroundColor(palette->queueBackgroundColor());
  for (UIButton* button : tileButtons_) button->setTitleColor(palette->primaryTextColor());
}

void RepoTransferViewController::cydiaButton() { flip(0); }
void RepoTransferViewController::zebraButton() { flip(1); }
void RepoTransferViewController::sileoButton() { flip(2); }

void RepoTransferViewController::flip(int manager) {
  selected_[manager] = !selected_[manager];
  showCheckboxes();
}

void RepoTransferViewController::showCheckboxes() {
  for (int i = 0; i < 3; ++i) {
    checkboxes_[i]->setImage(selected_[i] ? checkedImage_ : uncheckedImage_);
    tileButtons_[i]->setSelected(selected_[i]);
  }
}

void RepoTransferViewController::buttonPressed(UIControl& sender) { setScale(0.975, sender.superview()); }
void RepoTransferViewController::buttonReleased(UIControl& sender) { setScale(1.0, sender.superview()); }

void RepoTransferViewController::setScale(double scale, UIView* view) {
  if (!view) return;
  UIView::animateWithDuration(0.35, 0, 0.3, 7.0,
                              UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
                              [weak = weakSelf(view), scale] {
                                if (auto tile = weak.lock()) tile->setTransform(CGAffineTransform::makeScale(scale, scale));
                              });
}

void RepoTransferViewController::repoTransferContinueButton() {
  // A second tap while the screen goes would import and end the first run twice.
  if (leaving_) return;
  if (!selected_[0] && !selected_[1] && !selected_[2]) {
    nextViewController();
    return;
  }
  std::set<std::string> locations;
  bool whole = true;
  const std::vector<std::string>* lists[3] = {&cydiaSourceLists(), &zebraSourceLists(), &sileoSourceLists()};
  for (int i = 0; i < 3; ++i) {
    if (!selected_[i]) continue;
    for (const auto& list : *lists[i])
      whole = KVParsingUtility::addSourceURLsFromSourceListAtPath(DeviceRoot::devicePath(list), locations,
                                                                  kMaxImportedSources) &&
              whole;
  }
  if (!locations.empty() && whole) {
    launchSourceImportFromSourceCollection(locations);
    return;
  }
  if (!locations.empty()) {
    // Said before the screen goes, where the lists were chosen.
    leaving_ = true;
    auto alert = UIAlertController::alertControllerWithTitle(
        NSLocalizedString("Import Sources"),
        NSLocalizedFormat("Only part of the chosen lists is imported: an import takes at most %@ sources, and at "
                          "most the first megabyte of each list.",
                          {std::to_string(kMaxImportedSources)}),
        UIAlertControllerStyleAlert);
    alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Continue"), UIAlertActionStyleDefault,
                                                    [weak = weakSelf(this), locations](UIAlertAction&) {
                                                      if (auto self = weak.lock())
                                                        self->launchSourceImportFromSourceCollection(locations);
                                                    }));
    presentViewController(alert, true);
    return;
  }
  auto alert = UIAlertController::alertControllerWithTitle(NSLocalizedString("Import Sources"),
                                                           NSLocalizedString("Nothing to import"),
                                                           UIAlertControllerStyleAlert);
  alert->addAction(UIAlertAction::actionWithTitle(NSLocalizedString("Close"), UIAlertActionStyleDefault,
                                                  [weak = weakSelf(this)](UIAlertAction&) {
                                                    auto self = weak.lock();
                                                    if (!self) return;
                                                    for (bool& chosen : self->selected_) chosen = false;
                                                    self->showCheckboxes();
                                                  }));
  presentViewController(alert, true);
}

void RepoTransferViewController::launchSourceImportFromSourceCollection(const std::set<std::string>& locations) {
  // The refresh waits for the additions: a source still being written would miss it.
  auto pending = std::make_shared<PendingRefresh>(PendingRefresh{context_.sources, false, false});
  pendingRefresh_ = pending;
  performOnDefaultThread([sources = context_.sources, locations, pending] {
    auto added = sources->addImportedSources(locations);
    KVLog("Imported %zu new sources of %zu listed", added.size(), locations.size());
    performOnMainThread([pending] {
      pending->written = true;
      pending->refreshWhenReady();
    });
  });
  nextViewController();
}

void RepoTransferViewController::nextViewController() {
  leaving_ = true;
  auto pending = pendingRefresh_ ? pendingRefresh_ : std::make_shared<PendingRefresh>(PendingRefresh{context_.sources});
  auto refreshDue = [pending] {
    pending->due = true;
    pending->refreshWhenReady();
  };
  if (isInvokedFromSettings_) {
    dismissViewControllerAnimated(true, refreshDue);
    return;
  }
  auto& preferences = QuillbarkPersistentPreferences::sharedInstance();
  preferences.setObject(Value(true), "setupDone");
  // The walk is over for good, even if the application stops within the second.
  preferences.saveToFile();
  NotificationCenter::defaultCenter().post(KVRSourceImportDidCompleteNotification);
  performAfterWithBlock(1.0, refreshDue);
  performOnMainThread([weak = weakSelf(this)] {
    auto self = weak.lock();
    if (!self) return;
    // The whole walk goes, from the screen it was presented over, however many steps
    // it took.
    UIViewController* first = self.get();
    while (UIViewController* presenter = first->presentingViewController()) first = presenter;
    first->dismissViewControllerAnimated(true);
  });
}
