#include "browse/CategoriesTableViewController.h"

#include <algorithm>
#include <set>

#include "browse/CategoriesCell.h"
#include "browse/KVCardLook.h"
#include "database/KVRPackage.h"
#include "database/KVRPackageListCaches.h"
#include "database/KVRPackages.h"
#include "foundation/BlockHelpers.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/NotificationCenter.h"
#include "foundation/RunLoop.h"
#include "foundation/WeakSelf.h"
#include "interface/ErrorViewController.h"
#include "interface/KVCategorySpecial.h"
#include "interface/KVScreens.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIImage.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UIViewControllerTransitionCoordinator.h"

namespace {
constexpr long kFixedRows = 5;
constexpr double kRowHeight = 44;
// The page: the first card's title and five rows, then the second card, whose table
// begins 414 points below the top of the page (where an opened group scrolls to).
constexpr double kMargin = 16;
constexpr double kFirstCardTop = 24;
constexpr double kFirstTitleHeight = 50;
constexpr double kSecondCardTop = 354;
constexpr double kSecondTitleHeight = 60;
constexpr double kSecondTableTop = kSecondCardTop + kSecondTitleHeight;  // 414
constexpr double kCardBottomPadding = 10;

const char* const kFixedRowImages[kFixedRows] = {"Categories/All Packages", "Categories/Installed Packages",
                                                 "Categories/Updated Packages", "Categories/Recent Packages",
                                                 "Categories/Browse Repositories"};

std::shared_ptr<UILabel> cardTitle(const std::string& key) {
  auto title = std::make_shared<UILabel>();
  title->setText(NSLocalizedString(key));
  title->setFont(UIFont::boldSystemFontOfSize(22));
  return title;
}

std::shared_ptr<UITableView> cardTable() {
  auto table = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  // The page scrolls, never the tables: each is exactly as high as its rows.
  table->setScrollEnabled(false);
  table->setRowHeight(kRowHeight);
  table->registerNib("CategoriesCell", "catCell");
  return table;
}
}  // namespace

CategoriesTableViewController::CategoriesTableViewController(KVScreenContext context) : context_(std::move(context)) {
  setTitle(NSLocalizedString("Sections"));
}

CategoriesTableViewController::~CategoriesTableViewController() {
  for (auto& table : {defaultTable_, otherTable_})
    if (table) {
      table->setDataSource(nullptr);
      table->setTableDelegate(nullptr);
    }
}

void CategoriesTableViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  scrollView_ = std::make_shared<UIScrollView>(screen);
  scrollView_->setAlwaysBounceVertical(true);
  view()->addSubview(scrollView_);
  tasksProgressBar_ = std::make_shared<UIProgressView>();
  view()->addSubview(tasksProgressBar_);

  defaultCard_ = std::make_shared<UIView>();
  defaultTitle_ = cardTitle("Packages");
  defaultTable_ = cardTable();
  otherCard_ = std::make_shared<UIView>();
  otherTitle_ = cardTitle("Categories");
  otherTable_ = cardTable();
  for (auto [card, title, table] : {std::tuple{defaultCard_, defaultTitle_, defaultTable_},
                                     std::tuple{otherCard_, otherTitle_, otherTable_}}) {
    card->addSubview(title);
    card->addSubview(table);
    scrollView_->addSubview(card);
  }
  otherTableHeight_ = NSLayoutConstraint::constraintWithItem({otherTable_.get(), nullptr}, NSLayoutAttributeHeight,
                                                             NSLayoutRelationEqual, {}, NSLayoutAttributeNotAnAttribute, 1, 0);
  layoutCards();
}

void CategoriesTableViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  // The rows follow every rebuild of the cache, also while another tab is shown.
  rebuildObservation_ = NotificationCenter::defaultCenter().addObserver(
      KVDoneRebuildingPackagesCacheNotification, &DispatchQueue::mainQueue(),
      [this](const Notification&) { setCategoriesArrays(); });
  for (auto& table : {defaultTable_, otherTable_}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
  }
  setCategoriesArrays();
}

void CategoriesTableViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  defaultTable_->reloadData();
  otherTable_->reloadData();
  setOtherTableHeight();
  scheduleShadows();
  for (auto& table : {defaultTable_, otherTable_}) {
    table->setBackgroundColor(UIColor::clearColor());
    table->setSeparatorColor(UIColor::clearColor());
  }
}

void CategoriesTableViewController::viewDidLayoutSubviews() {
  KVPalettedViewController::viewDidLayoutSubviews();
  layoutCards();
}

void CategoriesTableViewController::viewWillTransitionToSize(CGSize size, UIViewControllerTransitionCoordinator& coordinator) {
  KVPalettedViewController::viewWillTransitionToSize(size, coordinator);
  coordinator.animateAlongsideTransition([weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updateShadows();
  });
}

void CategoriesTableViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  for (auto& card : {defaultCard_, otherCard_}) card->setBackgroundColor(palette->backgroundColor());
  for (auto& title : {defaultTitle_, otherTitle_}) title->setTextColor(palette->primaryTextColor());
  defaultTable_->reloadData();
  otherTable_->reloadData();
}

// ---- The lists

void CategoriesTableViewController::setCategoriesArrays() {
  // The snapshot published by the last rebuild, never a list being filled.
  auto snapshot = context_.packages->caches()->arrayOfPackagesCategories();
  std::vector<std::string> fixed, others;
  if (snapshot)
    for (size_t i = 0; i < snapshot->size(); ++i) ((long(i) < kFixedRows) ? fixed : others).push_back((*snapshot)[i]);
  std::set<std::string> seen;
  fixed.erase(std::remove_if(fixed.begin(), fixed.end(), [&](const std::string& row) { return !seen.insert(row).second; }),
              fixed.end());
  defaultPackagesCategories_ = std::move(fixed);
  groups_.rebuild(others);
  if (!isViewLoaded()) return;
  defaultTable_->reloadData();
  otherTable_->reloadData();
  setOtherTableHeight();
  view()->layoutIfNeeded();
  updateShadows();
}

void CategoriesTableViewController::setOtherTableHeight() {
  otherTableHeight_->setConstant(kRowHeight * static_cast<double>(groups_.rows().size()));
  layoutCards();
}

void CategoriesTableViewController::layoutCards() {
  if (!scrollView_) return;
  CGRect bounds = view()->bounds();
  scrollView_->setFrame(bounds);
  double width = std::max(0.0, bounds.width() - 2 * kMargin);
  double firstTable = kRowHeight * kFixedRows;
  defaultCard_->setFrame(CGRect::make(kMargin, kFirstCardTop, width, kFirstTitleHeight + firstTable + kCardBottomPadding));
  defaultTitle_->setFrame(CGRect::make(20, 12, width - 40, 30));
  defaultTable_->setFrame(CGRect::make(0, kFirstTitleHeight, width, firstTable));
  double otherTable = otherTableHeight_ ? otherTableHeight_->constant() : 0;
  otherCard_->setFrame(CGRect::make(kMargin, kSecondCardTop, width, kSecondTitleHeight + otherTable + kCardBottomPadding));
  otherTitle_->setFrame(CGRect::make(20, 20, width - 40, 30));
  otherTable_->setFrame(CGRect::make(0, kSecondTitleHeight, width, otherTable));
  scrollView_->setContentSize({bounds.width(), kSecondTableTop + otherTable + kCardBottomPadding + 30});
}

void CategoriesTableViewController::scheduleShadows() {
  RunLoop::main().addTimer(0.01, [weak = weakSelf(this)] {
    if (auto self = weak.lock()) self->updateShadows();
  });
}

void CategoriesTableViewController::updateShadows() {
  if (!RunLoop::isMainThread()) {
    performOnMainThread([weak = weakSelf(this)] {
      if (auto self = weak.lock()) self->updateShadows();
    });
    return;
  }
  if (!isViewLoaded()) return;
  for (auto& card : {defaultCard_, otherCard_}) KVCardLook::applyShadow(*card, palette());
}

// ---- The accordion

void CategoriesTableViewController::manipulateAddonsArray(bool addons, bool themes, bool tweaks, bool widgets) {
  auto group = KVCategoryGroups::chosen(addons, themes, tweaks, widgets);
  if (!group) return;
  bool opening = groups_.toggleInTable(*group, *otherTable_);
  // The page grows or shrinks with the rows before it scrolls to the opened header.
  setOtherTableHeight();
  if (opening)
    if (auto header = groups_.rowOfHeader(*group)) {
      // The header at the top of what is seen of the page (below the bars where the page
      // keeps clear of them), as far as the page's end lets it come up: a group near the
      // end leaves no empty screen below the last row.
      double top = kRowHeight * static_cast<double>(*header) + kSecondTableTop - scrollView_->adjustedContentInset().top;
      double least = scrollView_->minimumContentOffset().y, most = scrollView_->maximumContentOffset().y;
      scrollView_->setContentOffset({0, std::clamp(top, least, most)}, true);
    }
  scheduleShadows();
}

// ---- The tables

long CategoriesTableViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  return static_cast<long>(&table == defaultTable_.get() ? defaultPackagesCategories_.size() : groups_.rows().size());
}

std::shared_ptr<UITableViewCell> CategoriesTableViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                              const NSIndexPath& path) {
  auto cell = std::dynamic_pointer_cast<CategoriesCell>(table.dequeueReusableCellWithIdentifier("catCell", path));
  if (!cell) return std::make_shared<UITableViewCell>();
  bool first = &table == defaultTable_.get();
  const auto& rows = first ? defaultPackagesCategories_ : groups_.rows();
  if (path.row < 0 || path.row >= static_cast<long>(rows.size())) return cell;
  const std::string& text = rows[path.row];
  cell->setBackgroundColor(UIColor::clearColor());
  cell->nameLbl()->setText(NSLocalizedString(text));
  if (palette()) cell->nameLbl()->setTextColor(palette()->primaryTextColor());
  if (!first) {
    bool header = KVCategoryGroups::groupOfHeader(text).has_value();
    cell->setAccessoryType(header ? UITableViewCellAccessoryNone : UITableViewCellAccessoryDisclosureIndicator);
    cell->separatorTrailingConstraint()->setConstant(header ? 40 : 0);
  }
  cell->separator()->setHidden(path.row == static_cast<long>(rows.size()) - 1);
  return cell;
}

void CategoriesTableViewController::tableViewWillDisplayCell(UITableView& table, UITableViewCell& cell,
                                                             const NSIndexPath& path) {
  auto* row = dynamic_cast<CategoriesCell*>(&cell);
  if (!row) return;
  if (&table == defaultTable_.get()) {
    if (path.row >= 0 && path.row < kFixedRows) row->iconView()->setImage(UIImage::imageNamed(kFixedRowImages[path.row]));
    return;
  }
  if (path.row >= 0 && path.row < static_cast<long>(groups_.rows().size()))
    row->applyLook(CategoriesCell::lookForCategory(groups_.rows()[path.row]));
}

void CategoriesTableViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  if (&table == defaultTable_.get()) {
    selectDefaultRow(path.row);
    return;
  }
  if (path.row < 0 || path.row >= static_cast<long>(groups_.rows().size())) return;
  const std::string text = groups_.rows()[path.row];
  if (auto group = KVCategoryGroups::groupOfHeader(text)) {
    manipulateAddonsArray(*group == KVCategoryGroups::Addons, *group == KVCategoryGroups::Themes,
                          *group == KVCategoryGroups::Tweaks, *group == KVCategoryGroups::Widgets);
    return;
  }
  auto screen = context_.screens->subcategories(text, std::nullopt);
  screen->setTitle(NSLocalizedString(text));
  push(screen, lastSubcategories_);
}

void CategoriesTableViewController::selectDefaultRow(long row) {
  auto list = [this](const char* category) {
    auto kind = KVPackageListKind::ofCategory(category);
    kind.title = NSLocalizedString(category);
    push(context_.screens->packageList(kind), lastList_);
  };
  switch (row) {
    case 0: list(kCategorySpecial_AllPackages); break;
    case 1: list(kCategorySpecial_InstalledPackages); break;
    case 2:
      // Held packages count here; the list itself leaves them out.
      if (KVRPackage::objectsWhere("isUpdated = 1").empty()) {
        auto card = std::make_shared<ErrorViewController>();
        card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
        card->showWithTitle(NSLocalizedString("Updated Packages"),
                            NSLocalizedString("None of your packages currently have updates available, check back later."),
                            1, NSLocalizedString("OK"), std::nullopt, std::string());
        presentViewController(card, true);
      } else {
        list(kCategorySpecial_UpdatedPackages);
      }
      break;
    case 3: list(kCategorySpecial_NewPackages); break;
    case 4: {
      auto directory = context_.screens->repositoryDirectory();
      directory->setTitle(NSLocalizedString("Browse Repositories"));
      push(directory, lastDirectory_);
      break;
    }
    default: break;
  }
}

void CategoriesTableViewController::push(std::shared_ptr<UIViewController> screen, std::shared_ptr<UIViewController>& kept) {
  kept = screen;
  if (auto* navigation = navigationController()) navigation->pushViewController(screen, true);
}
