#include "sources/SearchedRepoViewController.h"

#include "database/KVRSource.h"
#include "database/KVRSources.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVRemoteImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

SearchedRepoViewController::SearchedRepoViewController(KVScreenContext context) : context_(std::move(context)) {}

SearchedRepoViewController::~SearchedRepoViewController() {
  if (!addSourceTableView_) return;
  addSourceTableView_->setDataSource(nullptr);
  addSourceTableView_->setTableDelegate(nullptr);
}

void SearchedRepoViewController::loadView() {
  KVPalettedViewController::loadView();
  const CGRect bounds = UIScreen::mainScreen().bounds();
  const double width = bounds.width() - 32;
  scrollView_ = std::make_shared<UIScrollView>(bounds);
  view()->addSubview(scrollView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  icon_ = std::make_shared<UIImageView>();
  icon_->setFrame(CGRect::make(16, 16, 90, 90));
  auto label = [&](std::shared_ptr<UILabel>& into, CGRect frame, const UIFont& font, std::string text = {}) {
    into = std::make_shared<UILabel>(frame);
    into->setFont(font);
    into->setText(std::move(text));
    scrollView_->addSubview(into);
  };
  scrollView_->addSubview(tasksProgressBar_);
  scrollView_->addSubview(icon_);
  label(nameLbl_, CGRect::make(122, 30, width - 106, 28), UIFont::boldSystemFontOfSize(22));
  label(descriptionLbl_, CGRect::make(122, 60, width - 106, 40), UIFont::systemFontOfSize(14));
  label(informationTitle_, CGRect::make(16, 124, width, 28), UIFont::boldSystemFontOfSize(20),
        NSLocalizedString("Information"));
  label(maintainerLbl_, CGRect::make(16, 160, 110, 24), UIFont::systemFontOfSize(15), NSLocalizedString("Maintainer"));
  label(sourceMaintainerLbl_, CGRect::make(130, 160, width - 114, 24), UIFont::systemFontOfSize(15));
  maintainerSeparator_ = std::make_shared<UIView>(CGRect::make(16, 190, width, 1));
  scrollView_->addSubview(maintainerSeparator_);
  label(urlLbl_, CGRect::make(16, 198, 110, 24), UIFont::systemFontOfSize(15), NSLocalizedString("URL"));
  label(sourceURLLbl_, CGRect::make(130, 198, width - 114, 24), UIFont::systemFontOfSize(15));
  addSourceTableView_ = std::make_shared<UITableView>(CGRect::make(16, 240, width, 44), UITableViewStylePlain);
  addSourceTableView_->setScrollEnabled(false);
  scrollView_->addSubview(addSourceTableView_);
}

void SearchedRepoViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  setTitle(NSLocalizedString("Source Page"));
  tasksProgressBar_->setHidden(true);
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) { backSwipe(); });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
  // An icon handed over shows at once; otherwise the placeholder stands in while the
  // entry's own icon is fetched in the background.
  if (repoIcon_) {
    icon_->setImage(repoIcon_);
  } else if (searchedRepo_.icon && !searchedRepo_.icon->empty()) {
    icon_->setImage(KVRemoteImage::placeholder());
    KVRemoteImage::load(*searchedRepo_.icon, weak_from_this(), [weak = weakSelf(this)](std::shared_ptr<UIImage> image) {
      auto self = weak.lock();
      if (self && image) self->icon_->setImage(image);
    });
  } else {
    icon_->setImage(KVRemoteImage::placeholder());
  }
  icon_->layer().cornerRadius = 20.133;
  icon_->layer().masksToBounds = true;
  icon_->setContentMode(UIViewContentModeScaleAspectFit);
  nameLbl_->setText(searchedRepo_.name.value_or(""));
  descriptionLbl_->setText(searchedRepo_.desc.value_or(""));
  sourceMaintainerLbl_->setText(searchedRepo_.maintainer.value_or(""));
  sourceURLLbl_->setText(searchedRepo_.url.value_or(""));
  addSourceTableView_->setBackgroundColor(UIColor::clearColor());
  addSourceTableView_->setSeparatorColor(UIColor::clearColor());
  addSourceTableView_->registerClass<UITableViewCell>("genericCell");  // the interface file "GenericCell"
  addSourceTableView_->setDataSource(this);
  addSourceTableView_->setTableDelegate(this);
}

void SearchedRepoViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  for (UILabel* label : {nameLbl_.get(), informationTitle_.get(), sourceMaintainerLbl_.get(), sourceURLLbl_.get()})
    label->setTextColor(palette->primaryTextColor());
}

void SearchedRepoViewController::backSwipe() {
  if (navigationController()) navigationController()->popViewControllerAnimated(true);
}

std::shared_ptr<UITableViewCell> SearchedRepoViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                           const NSIndexPath& path) {
  auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
  if (palette()) cell->setBackgroundColor(palette()->cellBackgroundColor());
  cell->textLabel()->setText(NSLocalizedString("Add this source"));
  cell->textLabel()->setTextColor(UIColor::colorWithRed(0.0, 0.67, 0.88, 1));
  cell->textLabel()->setFont(UIFont::systemFontOfSize(17));
  return cell;
}

bool SearchedRepoViewController::isAlreadyAdded(const std::string& location) {
  if (location.empty()) return false;
  std::string bare = location;
  if (bare.back() != '/') bare += '/';
  std::string rest;
  if (bare.rfind("https://", 0) == 0) rest = bare.substr(8);
  else if (bare.rfind("http://", 0) == 0) rest = bare.substr(7);
  else return KVRSource::objectForPrimaryKey(location).has_value() || KVRSource::objectForPrimaryKey(bare).has_value();
  for (const char* scheme : {"http://", "https://"})
    if (KVRSource::objectForPrimaryKey(std::string(scheme) + rest) ||
        KVRSource::objectForPrimaryKey(std::string(scheme) + rest.substr(0, rest.size() - 1)))
      return true;
  return false;
}

void SearchedRepoViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  const std::string location = searchedRepo_.url.value_or("");
  if (isAlreadyAdded(location)) {
    auto card = std::make_shared<ErrorViewController>();
    card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
    card->showWithTitle(NSLocalizedString("Source Error"), NSLocalizedString("This source is already added to Quillbark."),
                        1, NSLocalizedString("Close"), std::nullopt, std::string());
    presentViewController(card, true);
    return;
  }
  // The sources manager checks the location, asks about plain http, adds and refreshes.
  context_.sources->addSourceWithLocation(location, false);
}
