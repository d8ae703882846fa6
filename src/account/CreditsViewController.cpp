#include "account/CreditsViewController.h"

#include "account/KVDeveloperProfile.h"
#include "account/KVSearchDeveloper.h"
#include "account/KVVendorService.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/URL.h"
#include "foundation/URLReplyLimits.h"
#include "foundation/URLSession.h"
#include "foundation/WeakSelf.h"
#include "interface/KVRequestFailureView.h"
#include "interface/KVScreens.h"
#include "interface/SearchCell.h"
#include "uikit/UIButton.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
constexpr const char* kArtwork = "iTunesArtwork.png";

std::string text(const Value& entry, const char* key) {
  const std::string* value = entry[key].stringPtr();
  return value ? *value : std::string();
}
}  // namespace

CreditsViewController::CreditsViewController(KVScreenContext context) : context_(std::move(context)) {}

void CreditsViewController::loadView() {
  KVPalettedViewController::loadView();
  creditsTableView_ = std::make_shared<UITableView>(UIScreen::mainScreen().bounds(), UITableViewStylePlain);
  view()->addSubview(creditsTableView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>();
  view()->addSubview(tasksProgressBar_);
  failureView_ = std::make_shared<KVRequestFailureView>(UIScreen::mainScreen().bounds());
  view()->addSubview(failureView_);
}

void CreditsViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  setTitle(NSLocalizedString("Credits"));
  creditsTableView_->setTableDelegate(this);
  creditsTableView_->setDataSource(this);
  creditsTableView_->registerNib("SearchCell", "cell");
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  requestCredits();
}

void CreditsViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  creditsTableView_->setBackgroundColor(UIColor::clearColor());
}

void CreditsViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  view()->setBackgroundColor(palette->backgroundColor());
  if (creditsTableView_) creditsTableView_->reloadData();
}

void CreditsViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

void CreditsViewController::requestCredits() {
  // A failure is logged by the service's client, and said on the screen with a way to
  // ask again.
  KVVendorService::get(kCreditsPath, {}, KVVendorService::Blank::Percent20,
                       KVVendorService::json(KVServiceCall::Acceptance::Body::JSONArray),
                       [weak = weakSelf(this)](Expected<KVServiceReply> reply) {
                         if (!reply) {
                           performOnMainThread([weak, reason = reply.error()->localizedDescription()] {
                             auto self = weak.lock();
                             if (!self) return;
                             self->failureView_->showFailure(
                                 NSLocalizedFormat("The credits could not be loaded: %@", {reason}),
                                 [weak] {
                                   if (auto again = weak.lock()) again->requestCredits();
                                 });
                           });
                           return;
                         }
                         std::vector<Value> entries;
                         for (const Value& element : *reply->json().arrayPtr())
                           if (element.isDictionary()) entries.push_back(element);
                         performOnMainThread([weak, entries = std::move(entries)]() mutable {
                           if (auto self = weak.lock()) self->creditsArrived(std::move(entries));
                         });
                       });
}

void CreditsViewController::creditsArrived(std::vector<Value> entries) {
  failureView_->hide();
  creditsArray_ = std::move(entries);
  creditsTableView_->reloadData();
  for (const Value& entry : creditsArray_) {
    std::string name = text(entry, "name");
    if (!avatarsAsked_.insert(name).second) continue;
    fetchAvatar(name, text(entry, "avatarURL"));
  }
}

void CreditsViewController::fetchAvatar(const std::string& name, const std::string& address) {
  // Without a usable address the artwork stays, and nothing is asked.
  auto url = URL::fromString(address);
  if (!url || !url->isHTTP()) return;
  URLRequest request(*url);
  request.setReplyLimits(URLReplyKinds::kImage);
  URLSession::sharedSession()
      ->dataTaskWithRequest(request,
                            [weak = weakSelf(this), name](std::optional<Data> data, URLResponseRef, ErrorRef error) {
                              auto image = !error && data ? UIImage::imageWithData(*data) : nullptr;
                              performOnMainThread([weak, name, image] {
                                if (auto self = weak.lock()) self->avatarArrived(name, image);
                              });
                            })
      ->resume();
}

void CreditsViewController::avatarArrived(const std::string& name, std::shared_ptr<UIImage> image) {
  avatarDictionary_[name] = image ? image : UIImage::imageNamed(kArtwork);
  creditsTableView_->reloadData();
}

std::shared_ptr<UITableViewCell> CreditsViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                     const NSIndexPath& path) {
  auto cell = std::static_pointer_cast<SearchCell>(table.dequeueReusableCellWithIdentifier("cell", path));
  const Value& entry = creditsArray_.at(size_t(path.row));
  cell->setBackgroundColor(UIColor::clearColor());
  auto avatar = avatarDictionary_.find(text(entry, "name"));
  cell->iconView()->setImage(avatar != avatarDictionary_.end() ? avatar->second : UIImage::imageNamed(kArtwork));
  cell->iconView()->setClipsToBounds(true);
  cell->iconView()->layer().cornerRadius = 8.948;
  cell->iconView()->setContentMode(UIViewContentModeScaleAspectFit);
  cell->nameLbl()->setText(text(entry, "name"));
  if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
  cell->subinfoLbl()->setText(text(entry, "description"));
  cell->separator()->setHidden(size_t(path.row) + 1 == creditsArray_.size());
  cell->followBtn()->setHidden(true);
  cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
  return cell;
}

void CreditsViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, false);
  if (path.row < 0 || size_t(path.row) >= creditsArray_.size()) return;
  const Value& entry = creditsArray_[size_t(path.row)];
  std::string name = text(entry, "name");
  // The search client writes the name's blanks as the service reads them.
  KVSearchDeveloper::instance().searchDeveloper(
      text(entry, "username"), [weak = weakSelf(this), name](std::optional<std::string> status) {
        // Only this search's own answer opens a page, never what an earlier one found.
        if (status != "Success") return;
        auto found = KVSearchDeveloper::instance().developers();
        if (!found || found->empty()) return;
        KVDeveloperProfile profile = found->front();
        performOnMainThread([weak, name, profile] {
          auto self = weak.lock();
          if (!self || !self->navigationController()) return;
          auto avatar = self->avatarDictionary_.find(name);
          self->developerPage_ = self->context_.screens->developer(
              profile, avatar != self->avatarDictionary_.end() ? avatar->second : nullptr, false);
          self->navigationController()->pushViewController(self->developerPage_, true);
        });
      });
}
