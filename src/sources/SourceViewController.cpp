#include "sources/SourceViewController.h"

#include <algorithm>

#include <cmath>

#include "account/KVKeychainBindings.h"
#include "core/KVMailLink.h"
#include "core/KVPipelineManager.h"
#include "core/NSStringKorvaleExtensions.h"
#include "core/KVSourceLocation.h"
#include "core/SourceLocations.h"
#include "database/KVRPackages.h"
#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "database/KVSourceRefresh.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Clock.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/NotificationCenter.h"
#include "foundation/URL.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVPackageIcons.h"
#include "interface/KVScreens.h"
#include "payment/KVRepoStoreAPI.h"
#include "store/Store.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"
#include "uikit/UISwitch.h"

namespace {
std::optional<std::string> trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t\r\n\v\f");
  if (first == std::string::npos) return std::string();
  size_t last = text.find_last_not_of(" \t\r\n\v\f");
  return text.substr(first, last - first + 1);
}

// Adds a view to the page's column at `y` and hands it back.
template <class View>
View* place(UIView* column, std::shared_ptr<View> view, double x, double y, double width, double height) {
  view->setFrame(CGRect::make(x, y, width, height));
  column->addSubview(view);
  return view.get();
}
}  // namespace

SourceViewController::SourceViewController(KVScreenContext context, std::optional<std::string> location, bool presented)
    : context_(std::move(context)), sourceLocation_(std::move(location)), isPresented_(presented) {}

SourceViewController::~SourceViewController() {
  if (timeSinceTimer_) RunLoop::main().cancelTimer(timeSinceTimer_);
}

// The first of the default sources.
std::string SourceViewController::vendorRepositoryLocation() { return "https://repo.korvale.example/repo/"; }

bool SourceViewController::stringIsValidURL(const std::optional<std::string>& text) {
  return text && KVSourceLocation::fromText(*text).hasValue();
}

// The interface file's arrangement: one scrolling column of rows.
void SourceViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  auto scroll = std::make_shared<UIScrollView>(screen);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  scrollView_ = scroll.get();
  UIView* column = scrollView_;
  const double w = screen.width() - 32;
  tasksProgressBar_ = place(column, std::make_shared<UIProgressView>(UIProgressViewStyleDefault), 0, 0, screen.width(), 2);
  iconView_ = place(column, std::make_shared<UIImageView>(), 16, 16, 80, 80);
  topStatus_ = place(column, std::make_shared<UILabel>(), 108, 20, w - 120, 16);
  verifiedIcon_ = place(column, std::make_shared<UIImageView>(), w - 4, 20, 20, 20);
  name_ = place(column, std::make_shared<UILabel>(), 108, 40, w - 92, 24);
  name_->setFont(UIFont::boldSystemFontOfSize(20));
  urlField_ = place(column, std::make_shared<UITextField>(), 16, 108, w, 36);
  description_ = place(column, std::make_shared<UILabel>(), 16, 152, w, 60);
  description_->setNumberOfLines(0);
  refreshStatus_ = place(column, std::make_shared<UILabel>(), 16, 216, w, 20);
  refreshStatus_->setFont(UIFont::systemFontOfSize(13));
  double y = 244;
  auto row = [&](const std::string& title, UILabel** value) {
    auto label = place(column, std::make_shared<UILabel>(), 16, y, 150, 20);
    label->setText(NSLocalizedString(title));
    *value = place(column, std::make_shared<UILabel>(), 174, y, w - 158, 20);
    (*value)->setAdjustsFontSizeToFitWidth(true);
    (*value)->setTextAlignment(NSTextAlignmentRight);
    place(column, std::make_shared<UIView>(), 16, y + 27, w, 1);
    rows_.push_back({label, *value});
    captions_.push_back(label);
    y += 36;
  };
  auto switchRow = [&](const std::string& title, UISwitch** control, void (SourceViewController::*action)()) {
    captions_.push_back(place(column, std::make_shared<UILabel>(), 16, y, w - 70, 20));
    captions_.back()->setText(NSLocalizedString(title));
    *control = place(column, std::make_shared<UISwitch>(), w - 35, y - 5, 51, 31);
    (*control)->setAccessibilityLabel(NSLocalizedString(title));
    (*control)->addTarget(this, [this, action](UIControl&) { (this->*action)(); }, UIControlEventValueChanged);
    place(column, std::make_shared<UIView>(), 16, y + 27, w, 1);
    y += 36;
  };
  switchRow("Follow this repository", &followSwitch_, &SourceViewController::followThisRepository);
  switchRow("See original depictions", &depictionsSwitch_, &SourceViewController::seeOriginalDepictions);
  row("Organisation", &organisation_);
  row("Status", &status_);
  row("Installed packages", &installed_);
  row("Number of packages", &total_);
  row("Last repo regeneration", &regen_);
  auto button = [&](const std::string& title, void (SourceViewController::*action)(), double x, double width) {
    auto b = place(column, UIButton::buttonWithType(UIButtonTypeSystem), x, y, width, 36);
    b->setTitle(NSLocalizedString(title));
    b->addTarget(this, [this, action](UIControl&) { (this->*action)(); }, UIControlEventTouchUpInside);
    return b;
  };
  packagesButton_ = button("Packages", &SourceViewController::openPackages, 16, w);
  y += 44;
  const double third = (w - 16) / 3;
  donateBtn_ = button("Donate", &SourceViewController::donate, 16, third);
  twitterButton_ = button("Twitter", &SourceViewController::goToTwitter, 24 + third, third);
  emailButton_ = button("E-mail", &SourceViewController::contactEmail, 32 + 2 * third, third);
  y += 44;
  repoStoreContainer_ = place(column, std::make_shared<UIView>(), 16, y, w, 25);
  auto half = (w - 8) / 2;
  auto logIn = UIButton::buttonWithType(UIButtonTypeSystem);
  logIn->setFrame(CGRect::make(0, 0, half, 25));
  logIn->addTarget(this, [this](UIControl&) { logInOut(); }, UIControlEventTouchUpInside);
  auto bought = UIButton::buttonWithType(UIButtonTypeSystem);
  bought->setFrame(CGRect::make(half + 8, 0, half, 25));
  bought->setTitle(NSLocalizedString("Purchased"));
  bought->addTarget(this, [this](UIControl&) { openPurchased(); }, UIControlEventTouchUpInside);
  repoStoreContainer_->addSubview(logIn);
  repoStoreContainer_->addSubview(bought);
  logInOut_ = logIn.get();
  purchased_ = bought.get();
  scrollView_->setContentSize(CGSize{screen.width(), y + 60});
  layOutRows();
}

// Each row's title as wide as it reads (at least 150, at most most of the row), the value
// in what is left; measured at each layout, with the faces the screen is drawn in then.
void SourceViewController::layOutRows() {
  const double w = UIScreen::mainScreen().bounds().width() - 32;
  for (auto [title, value] : rows_) {
    CGRect frame = title->frame();
    double width = std::clamp(title->sizeThatFits({w, frame.height()}).width, 150.0, std::max(150.0, w * 0.65));
    title->setFrame(CGRect::make(16, frame.minY(), width, frame.height()));
    value->setFrame(CGRect::make(24 + width, frame.minY(), w - 8 - width, frame.height()));
  }
}

void SourceViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layOutRows();
}

void SourceViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  setOverrideLargeTitles(true);
  setOverrideTranslucentNavBar(isModalInPopover());
  if (isPresented_) {
    navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
        NSLocalizedString("Close"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismissVC(); }));
  }
  if (sourceLocation_) setSourceDictionaryFromSourceObject();
  urlField_->setDelegate(this);
  urlField_->addTarget(this, [this](UIControl&) { editingDidEnd(); }, UIControlEventEditingDidEnd);
  // Heard for the screen's whole life, also while another screen covers it.
  sourceObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVRSourceUpdatedNotification, &DispatchQueue::mainQueue(), [this](const Notification& n) { sourceRefreshed(n); });
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  if (sourceLocation_ && KVKeychainBindings::sharedKeychainBindings().stringForKey(*sourceLocation_ + "_token") &&
      snapshotText("endpoint"))
    KVRepoStoreAPI::updadatePurchasedPackagesForSource(*sourceLocation_);
  navigationItem().setRightBarButtonItems(
      {UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemRefresh, [this](UIBarButtonItem&) { refreshSource(); }),
       UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemAction,
                                                    [this](UIBarButtonItem& item) { shareSource(&item); })});
  setContent();
  double t = Date::now().seconds;
  double first = std::max(0.0, std::trunc(std::floor(t / 60) * 60 + 1 - t));
  timeSinceTimer_ = RunLoop::main().addTimer(first, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->tickTimeSince();
  }, 1.0);
}

void SourceViewController::tickTimeSince() {
  if (!isViewLoaded() || !view()->window() || !sourceDictionary_ || !sourceDictionary_->isDictionary()) return;
  const Value& regen = (*sourceDictionary_)["regenDate"];
  if (regen.isNull()) return;
  regen_->setText(NSStringKorvaleExtensions::timeSince(regen.asString()).value_or(NSLocalizedString("never")));
}

void SourceViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  updateButtons();
  updateSource();
  if (!isSourceStringValid()) urlField_->becomeFirstResponder();
  setContent();
}

void SourceViewController::setContent() {
  iconView_->layer().cornerRadius = iconView_->frame().height() * 0.2237;
  iconView_->layer().masksToBounds = true;
  urlField_->layer().cornerRadius = urlField_->frame().height() / 2;
  urlField_->layer().masksToBounds = true;
  for (UIButton* b : {donateBtn_, twitterButton_, emailButton_}) b->layer().cornerRadius = 10;
  donateBtn_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
}

// ---- The snapshot

void SourceViewController::setSourceDictionaryFromSourceObject() {
  sourceDictionary_ = Value::dict();
  if (!isSourceStringValid()) return;
  auto db = store::Database::defaultDatabase();
  auto object = db ? db->objectForPrimaryKey(KVRSource::className(), *sourceLocation_) : std::nullopt;
  if (object) sourceDictionary_ = object->toValue();
}

std::optional<std::string> SourceViewController::snapshotText(const char* key) const {
  if (!sourceDictionary_ || !sourceDictionary_->isDictionary()) return std::nullopt;
  const Value& v = (*sourceDictionary_)[key];
  if (!v.isString() || v.asString().empty()) return std::nullopt;
  return v.asString();
}

bool SourceViewController::snapshotFlag(const char* key) const {
  return sourceDictionary_ && sourceDictionary_->isDictionary() && (*sourceDictionary_)[key].asBool(false);
}

bool SourceViewController::recordExists() const {
  return isSourceStringValid() && KVRSource::objectForPrimaryKey(*sourceLocation_).has_value();
}

// ---- What the page shows

void SourceViewController::updateSource() {
  const bool valid = isSourceStringValid();
  if (valid) {
    auto icon = KVPackageIcons::iconForLocation(*sourceLocation_);
    if (!icon) icon = UIImage::imageNamed(snapshotFlag("isTrusted") ? "Verified Icon" : "KVCydiaSource.png");
    iconView_->setImage(icon);
  } else {
    iconView_->setImage(UIImage::imageNamed("AppIcon"));
  }
  std::string category = snapshotText("category").value_or("");
  bool isDefault = category == "Default";
  if (isDefault) category = NSLocalizedString("Default Repository");
  std::string upper = category;
  for (auto& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  topStatus_->setText(upper);
  status_->setText(category);
  verifiedIcon_->setImage(isDefault ? UIImage::imageNamed("Verified Icon") : nullptr);

  const bool hasSnapshot = sourceDictionary_ && sourceDictionary_->isDictionary() && !sourceDictionary_->dictionaryPtr()->empty();
  if (!hasSnapshot) {
    name_->setText("New Source");
    name_->setTextColor(palette() ? std::optional<UIColor>(palette()->primaryTextColor()) : std::nullopt);
  } else if (snapshotFlag("hasErrors")) {
    name_->setText("Invalid Source");
    if (palette()) name_->setTextColor(palette()->errorTextColor());
  } else {
    name_->setText(snapshotText("name").value_or(""));
    name_->setTextColor(palette() ? std::optional<UIColor>(palette()->primaryTextColor()) : std::nullopt);
  }
  urlField_->setText(sourceLocation_ && !sourceLocation_->empty() ? *sourceLocation_ : "https://");
  // A failed refresh left its reason where the description was; it comes first.
  if (snapshotFlag("hasErrors"))
    description_->setText(
        (snapshotText("Description") ? *snapshotText("Description") + "\n" : std::string()) +
        NSLocalizedString("There were errors while trying to refresh this source. Please double-check the URL and try "
                          "refreshing again."));
  else
    description_->setText(
        snapshotText("Description").value_or(NSLocalizedString("Please input the valid source URL above to add the source.")));
  followSwitch_->setOn(snapshotFlag("isFollowed"));
  depictionsSwitch_->setOn(snapshotFlag("seeOriginalDepictions"));
  if (!hasSnapshot) {
    for (UILabel* label : {organisation_, installed_, total_, regen_}) label->setText("");
    return;
  }
  organisation_->setText(snapshotText("maintainer").value_or(snapshotText("contact").value_or("")));
  installed_->setText(std::to_string(context_.packages->countOfInstalledPackagesForSource(*sourceLocation_)));
  total_->setText(snapshotText("totalPackages").value_or(""));
  auto regen = snapshotText("regenDate");
  regen_->setText(regen ? NSStringKorvaleExtensions::timeSince(*regen).value_or(NSLocalizedString("never")) : "");
}

void SourceViewController::updateButtons() {
  const bool payment = snapshotText("endpoint").has_value();
  repoStoreContainer_->setHidden(!payment);
  repoStoreContainerHeight_ = payment ? 25 : 0;
  bool signedIn = sourceLocation_ && KVKeychainBindings::sharedKeychainBindings().stringForKey(*sourceLocation_ + "_token");
  logInOut_->setTitle(NSLocalizedString(signedIn ? "Logout" : "Login"));
  purchased_->setEnabled(signedIn);
  purchased_->setAlpha(signedIn ? 1.0 : 0.5);
}

void SourceViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  urlField_->setKeyboardAppearance(static_cast<UIKeyboardAppearance>(palette->keyboardAppearance()));
  for (UILabel* label : {name_, organisation_, status_, installed_, total_, regen_, description_})
    if (!(label == name_ && snapshotFlag("hasErrors"))) label->setTextColor(palette->primaryTextColor());
  // The captions and the notes from the palette too: the labels' default black is black
  // on black in the dark palettes.
  for (UILabel* label : captions_) label->setTextColor(palette->primaryTextColor());
  for (UILabel* label : {topStatus_, refreshStatus_}) label->setTextColor(palette->secondaryTextColor());
  urlField_->setTextColor(palette->primaryTextColor());
  for (UIButton* b : {donateBtn_, twitterButton_, emailButton_, logInOut_, purchased_}) {
    b->setTitleColor(isDarkMode() ? palette->primaryTextColor() : palette->getButtonTextColor());
    b->setBackgroundColor(isDarkMode() ? palette->highlightColor() : palette->getButtonBackgoundColor());
  }
}

// ---- Adding from the form

bool SourceViewController::textFieldShouldReturn(UITextField& field) {
  field.resignFirstResponder();
  return true;
}

bool SourceViewController::textFieldShouldBeginEditing(UITextField&) {
  return sourceLocation_ != vendorRepositoryLocation();
}

void SourceViewController::editingDidEnd() {
  // The field starts as "https://": a whole location typed after it takes its place.
  std::string text = SourceLocations::withoutPrefilledScheme(*trimmed(urlField_->text()));
  urlField_->setText(text);
  if (text.empty() || text == "http://" || text == "https://") return;  // the field's own start
  // What can't be a source says why, here on the form.
  auto location = KVSourceLocation::fromText(text);
  if (!location) {
    showCard(NSLocalizedString("Invalid Source"),
             NSLocalizedFormat("%@ can't be added: %@.", {text, location.error()->localizedDescription()}));
    return;
  }
  text = location->text();
  urlField_->setText(text);
  if (text == sourceLocation_) return;  // the page's own location, already added
  bool started = context_.sources->addSource(*location, false, depictionsSwitch_->isOn());
  // A refused location leaves the page on its own; one that waits for the http
  // warning's answer is taken when its refresh reports.
  pendingLocation_ = text;
  if (!started && !sourceLocation_) return;
  if (!started) {
    urlField_->setText(*sourceLocation_);
    return;
  }
  sourceLocation_ = text;
  setSourceDictionaryFromSourceObject();
}

void SourceViewController::sourceRefreshed(const Notification& notification) {
  std::string location = notification.object.asString();
  if (pendingLocation_ && location == *pendingLocation_ && location != sourceLocation_ &&
      KVRSource::objectForPrimaryKey(location)) {
    sourceLocation_ = location;  // the warning was answered and the source added
    pendingLocation_.reset();
    setSourceDictionaryFromSourceObject();
  }
  if (!sourceDictionary_) return;
  setSourceDictionaryFromSourceObject();
  updateButtons();
  updateSource();
  setContent();
}

// ---- Switches and bar actions: only on a source that is there

void SourceViewController::writeSource(const std::function<void(KVRSource&)>& change) {
  if (!recordExists()) return;
  auto db = store::Database::openDefaultDatabase();
  ErrorRef error = !db ? db.error() : (*db)->write([&] {
    // Looked up inside the transaction: it may have gone since the page was built.
    if (auto source = KVRSource::objectForPrimaryKey(*sourceLocation_)) {
      change(*source);
      (*db)->addOrUpdate(source->toObject());
    }
  });
  if (!error) {
    // The page shows what was kept when it appears again.
    setSourceDictionaryFromSourceObject();
    return;
  }
  // Nothing was kept: the switches show the record as it is, and the card says why.
  KVLog("The source %s could not be changed: %s", sourceLocation_->c_str(), error->localizedDescription().c_str());
  setSourceDictionaryFromSourceObject();
  updateSource();
  showCard(NSLocalizedString("Error"),
           NSLocalizedFormat("The change to this source could not be saved: %@", {error->localizedDescription()}));
}

void SourceViewController::followThisRepository() {
  bool on = followSwitch_->isOn();
  writeSource([on](KVRSource& source) { source.setIsFollowed(on); });
}

void SourceViewController::seeOriginalDepictions() {
  bool on = depictionsSwitch_->isOn();
  writeSource([on](KVRSource& source) { source.setSeeOriginalDepictions(on); });
}

void SourceViewController::refreshSource() {
  if (!recordExists()) return;
  const std::string taskID = KVSourceRefresh::taskIDForLocation(*sourceLocation_);
  context_.sources->refreshSource(*sourceLocation_);
  // The task (or one of the same source already waiting) is followed to its end.
  if (KVPipelineManager::sharedManager().hasTaskWithIdentifier(taskID)) {
    followRefresh(taskID);
  } else {
    refreshStatus_->setText(NSLocalizedString("The source can't be refreshed now."));
  }
}

void SourceViewController::followRefresh(const std::string& taskID) {
  refreshTaskID_ = taskID;
  tasksProgressBar_->setProgress(0);
  tasksProgressBar_->setHidden(false);
  refreshStatus_->setText(NSLocalizedString("Refreshing..."));
  refreshObservations_.clear();
  // The page itself, when the notice is about the refresh it follows.
  auto mine = [weak = weakSelf(this)](const Notification& n) -> std::shared_ptr<SourceViewController> {
    auto self = weak.lock();
    if (!self || self->refreshTaskID_.empty() || n.userInfo[KVPipelineUserInfoTaskID].asString() != self->refreshTaskID_)
      return nullptr;
    return self;
  };
  auto& center = NotificationCenter::defaultCenter();
  refreshObservations_.push_back(center.addObserver(
      KVPipelineTaskProgressNotification, &DispatchQueue::mainQueue(), [mine](const Notification& n) {
        if (auto self = mine(n))
          self->tasksProgressBar_->setProgress(std::max(0.0, n.userInfo[KVPipelineUserInfoProgress].asDouble()));
      }));
  refreshObservations_.push_back(center.addObserver(
      KVPipelineTaskStatusNotification, &DispatchQueue::mainQueue(), [mine](const Notification& n) {
        if (auto self = mine(n)) self->refreshStatus_->setText(n.userInfo[KVPipelineUserInfoStatus].asString());
      }));
  refreshObservations_.push_back(center.addObserver(
      KVPipelineTaskFinishedNotification, &DispatchQueue::mainQueue(), [mine](const Notification& n) {
        if (auto self = mine(n)) self->refreshEnded(n.userInfo[KVPipelineUserInfoSuccess].asBool(), n.error);
      }));
}

void SourceViewController::refreshEnded(bool success, const ErrorRef& error) {
  refreshTaskID_.clear();
  tasksProgressBar_->setHidden(true);
  // A refresh that failed after its first request ends normally, its failure recorded on
  // the source.
  setSourceDictionaryFromSourceObject();
  updateSource();
  std::string reason;
  if (!success) reason = error ? error->localizedDescription() : NSLocalizedString("Refresh encountered an unknown error");
  else if (snapshotFlag("hasErrors")) reason = snapshotText("Description").value_or("");
  refreshStatus_->setText(!success || snapshotFlag("hasErrors")
                              ? NSLocalizedFormat("Refresh failed: %@", {reason})
                              : NSLocalizedString("Refreshed just now."));
}

void SourceViewController::shareSource(UIBarButtonItem* sender) {
  if (!recordExists()) return;
  context_.actions->shareSourceWithLocation(*sourceLocation_, sender);
}

void SourceViewController::dismissVC() { dismissViewControllerAnimated(true); }

void SourceViewController::backSwipe() {
  if (isPresented_) dismissVC();
  else if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

// ---- Links

void SourceViewController::pushBrowser(const std::string& title, const std::string& address) {
  if (!navigationController()) return;
  browser_ = context_.screens->webPage(address, title, false);
  navigationController()->pushViewController(browser_, true);
}

void SourceViewController::showCard(const std::string& title, const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->showWithTitle(title, message, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  presentViewController(card, true);
}

void SourceViewController::donate() {
  std::string name = snapshotText("name").value_or("");
  if (auto link = snapshotText("donateLink")) {
    pushBrowser(NSLocalizedFormat("Donate to %@", {name}), *link);
    return;
  }
  showCard(NSLocalizedString("No Donation Link"), NSLocalizedFormat("%@ maintainer hasn't provided a donation link", {name}));
}

void SourceViewController::goToTwitter() {
  std::string name = snapshotText("name").value_or("");
  auto link = snapshotText("twitterLink");
  if (!link) {
    showCard(NSLocalizedString("No Twitter Link"), NSLocalizedFormat("%@ maintainer hasn't provided a Twitter link", {name}));
    return;
  }
  auto url = URL::fromString(*link);
  std::string account = url ? url->lastPathComponent() : std::string();
  std::string app = "twitter://user?screen_name=" + URL::percentEncode(account);
  if (!account.empty() && UIApplication::sharedApplication().canOpenURL(app)) {
    UIApplication::sharedApplication().openURL(app);
    return;
  }
  pushBrowser(NSLocalizedFormat("%@'s Twitter", {name}), *link);
}

void SourceViewController::contactEmail() {
  auto contact = snapshotText("contact");
  if (!contact) return;
  UIApplication::sharedApplication().openURL(KVMailLink::url(contact, "Regarding Quill source"));
}

// ---- Payment service and the source's lists

void SourceViewController::logInOut() {
  if (!sourceLocation_) return;
  auto done = [weak = weakSelf(this)](bool) {
    performOnMainThread([weak] {
      if (auto self = weak.lock()) self->updateButtons();
    });
  };
  if (KVKeychainBindings::sharedKeychainBindings().stringForKey(*sourceLocation_ + "_token"))
    KVRepoStoreAPI::logoutOfSource(*sourceLocation_, done);
  else
    KVRepoStoreAPI::loginToSource(*sourceLocation_, done);
}

void SourceViewController::openPurchased() {
  if (!sourceLocation_ || !navigationController()) return;
  lastPushed_ = context_.screens->packageList(KVPackageListKind::purchasedPackages(*sourceLocation_));
  navigationController()->pushViewController(lastPushed_, true);
}

void SourceViewController::openPackages() {
  if (!recordExists() || !navigationController()) return;
  lastPushed_ = context_.screens->packageList(
      KVPackageListKind::sourcePackages(*sourceLocation_, snapshotText("name").value_or(*sourceLocation_)));
  navigationController()->pushViewController(lastPushed_, true);
}
