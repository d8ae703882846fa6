// The package page's interface file: the header, one column of sections below it, each
// view of the column placed under the one before by a spacing and a height that the
// layout (…Layout.cpp) changes, and the navigation bar's pieces.
#include <algorithm>

#include "foundation/LocalizedStrings.h"
#include "interface/UIButtonGetButton.h"
#include "package/KVPackageHeaderButtons.h"
#include "package/PackageDetailsViewController.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIButton.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "webkit/WKWebView.h"

namespace {
constexpr double kTitleSpacing = 30;
constexpr double kContentSpacing = 10;
constexpr double kSeparatorSpacing = 20;
constexpr double kRowSpacing = 12;

std::shared_ptr<NSLayoutConstraint> activate(std::shared_ptr<NSLayoutConstraint> constraint) {
  constraint->setActive(true);
  return constraint;
}

std::shared_ptr<UILabel> label(const std::string& text, UIFont font, long lines = 1) {
  auto l = std::make_shared<UILabel>();
  l->setText(text);
  l->setFont(std::move(font));
  l->setNumberOfLines(lines);
  return l;
}

std::shared_ptr<UILabel> sectionTitle(const std::string& key) { return label(NSLocalizedString(key), UIFont::boldSystemFontOfSize(20)); }

std::shared_ptr<UIView> separator() {
  auto line = std::make_shared<UIView>();
  line->setBackgroundColor(UIColor::colorWithWhite(0.5, 0.3));
  return line;
}

std::shared_ptr<UICollectionView> collection(UICollectionViewScrollDirection direction) {
  UICollectionViewFlowLayout layout;
  layout.scrollDirection = direction;
  auto view = std::make_shared<UICollectionView>(CGRect{}, layout);
  view->setBackgroundColor(UIColor::clearColor());
  view->setShowsHorizontalScrollIndicator(false);
  return view;
}

std::shared_ptr<UIButton> button(const std::string& key) {
  auto b = UIButton::buttonWithType(UIButtonTypeSystem);
  b->setTitle(NSLocalizedString(key));
  return b;
}

void place(UIView* content, const std::shared_ptr<UIView>& view) {
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  content->addSubview(view);
}
}  // namespace

template <class View>
View* PackageDetailsViewController::chain(std::shared_ptr<View> view, UIView*& previous, double spacing,
                                          double height, double x, double width) {
  UIView* content = outlets_.contentView;
  double w = width < 0 ? content->frame().width() - 2 * x : width;
  view->setFrame(CGRect::make(x, 0, w, std::max(height, 0.0)));
  place(content, view);
  Slot slot;
  slot.top = activate(view->topAnchor().constraintEqualToAnchor(previous->bottomAnchor(), spacing));
  slot.height = view->heightAnchor().constraintEqualToConstant(std::max(height, 0.0));
  slot.intrinsic = height < 0;
  slot.shownHeight = std::max(height, 0.0);
  if (!slot.intrinsic) slot.height->setActive(true);
  slots_[view.get()] = slot;
  previous = view.get();
  return view.get();
}

void PackageDetailsViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  auto scroll = std::make_shared<UIScrollView>(screen);
  scroll->setAlwaysBounceVertical(true);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  outlets_.scrollView = scroll.get();
  auto second = std::make_shared<UIView>(CGRect::make(0, 0, screen.width(), screen.height()));
  scroll->addSubview(second);
  outlets_.secondBackgroundView = second.get();
  auto content = std::make_shared<UIView>(CGRect::make(0, 0, screen.width(), screen.height()));
  scroll->addSubview(content);
  outlets_.contentView = content.get();
  buildHeader(content.get(), screen.width());
  buildSections(content.get(), screen.width());
}

void PackageDetailsViewController::buildHeader(UIView* content, double width) {
  auto background = std::make_shared<UIView>(CGRect::make(0, 0, width, 0));
  content->addSubview(background);
  outlets_.backgroundView = background.get();

  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 16, 80, 80));
  place(content, icon);
  activate(icon->topAnchor().constraintEqualToAnchor(content->topAnchor(), 16));
  activate(icon->leftAnchor().constraintEqualToAnchor(content->leftAnchor(), 16));
  outlets_.iconViewWidthConstraint = activate(icon->widthAnchor().constraintEqualToConstant(80));
  outlets_.iconViewHeightConstraint = activate(icon->heightAnchor().constraintEqualToConstant(80));
  outlets_.iconView = icon.get();

  auto name = label("", UIFont::boldSystemFontOfSize(24), 2);
  name->setFrame(CGRect::make(112, 16, width - 160, 0));
  place(content, name);
  activate(name->topAnchor().constraintEqualToAnchor(icon->topAnchor()));
  activate(name->leftAnchor().constraintEqualToAnchor(icon->rightAnchor(), 16));
  activate(name->rightAnchor().constraintEqualToAnchor(content->rightAnchor(), -48));
  outlets_.nameLbl = name.get();

  auto verified = std::make_shared<UIImageView>(UIImage::imageNamed("Verified Icon"));
  verified->setFrame(CGRect::make(width - 36, 18, 20, 20));
  verified->setAccessibilityLabel(NSLocalizedString("Verified"));
  place(content, verified);
  activate(verified->topAnchor().constraintEqualToAnchor(name->topAnchor(), 2));
  outlets_.verifiedIconView = verified.get();

  auto author = label("", UIFont::systemFontOfSize(17), 2);
  author->setFrame(CGRect::make(112, 0, width - 128, 0));
  place(content, author);
  activate(author->topAnchor().constraintEqualToAnchor(name->bottomAnchor(), 4));
  activate(author->leftAnchor().constraintEqualToAnchor(name->leftAnchor()));
  activate(author->rightAnchor().constraintEqualToAnchor(content->rightAnchor(), -16));
  outlets_.authorLbl = author.get();

  auto buttons = KVPackageHeaderButtons::build(
      content, icon.get(), author.get(), this, [this](UIButton* b) { getPackage(b); },
      [this](UIButton* b) { sharePackage(b); });
  outlets_.getBtn = buttons.get;
  outlets_.getBtnWidthConstraint = buttons.getWidth;
  outlets_.getBtnTopConstraintToIconView = buttons.getTopToIcon;
  outlets_.getBtnTopConstraintToAuthorLbl = buttons.getTopToAuthor;
  outlets_.shareBtn = buttons.share;
  outlets_.shareBtnTopConstraintToIconView = buttons.shareTopToIcon;
  outlets_.shareBtnTopConstraintToAuthorLbl = buttons.shareTopToAuthor;
  UIButton* get = buttons.get;

  // The user's own stars: the first sets the size of the others and of the rows beside.
  UIButton* previous = nullptr;
  for (size_t i = 0; i < ratingButtons_.size(); ++i) {
    auto star = UIButton::buttonWithType(UIButtonTypeCustom);
    star->setImage(UIImage::imageNamed("star"));
    star->setAccessibilityLabel("Star " + std::to_string(i + 1));
    star->setFrame(CGRect::make(16 + 29.0 * static_cast<double>(i), 0, 25, 25));
    place(content, star);
    if (!previous) {
      activate(star->topAnchor().constraintEqualToAnchor(get->bottomAnchor(), 20));
      activate(star->leftAnchor().constraintEqualToAnchor(content->leftAnchor(), 16));
      outlets_.starWidthConstraint = activate(star->widthAnchor().constraintEqualToConstant(25));
      outlets_.starHeightConstraint = activate(star->heightAnchor().constraintEqualToConstant(25));
    } else {
      activate(star->topAnchor().constraintEqualToAnchor(previous->topAnchor()));
      activate(star->leftAnchor().constraintEqualToAnchor(previous->rightAnchor(), 4));
      activate(star->widthAnchor().constraintEqualToAnchor(ratingButtons_[0]->widthAnchor()));
      activate(star->heightAnchor().constraintEqualToAnchor(ratingButtons_[0]->heightAnchor()));
    }
    star->addTarget(this, [this](UIControl& c) { ratingPressed(static_cast<UIButton*>(&c)); }, UIControlEventTouchUpInside);
    ratingButtons_[i] = star.get();
    previous = star.get();
  }
  outlets_.rating1 = ratingButtons_[0];
  outlets_.rating2 = ratingButtons_[1];
  outlets_.rating3 = ratingButtons_[2];
  outlets_.rating4 = ratingButtons_[3];
  outlets_.rating5 = ratingButtons_[4];
  auto rating = label(NSLocalizedString("0 out of 5 rating"), UIFont::systemFontOfSize(13));
  rating->setFrame(CGRect::make(170, 0, width - 186, 25));
  place(content, rating);
  activate(rating->topAnchor().constraintEqualToAnchor(ratingButtons_[0]->topAnchor()));
  activate(rating->leftAnchor().constraintEqualToAnchor(ratingButtons_[4]->rightAnchor(), 10));
  activate(rating->heightAnchor().constraintEqualToAnchor(ratingButtons_[0]->heightAnchor()));
  outlets_.ratingLbl = rating.get();

  // Version and category: a caption and its value on one row each, as high as a star.
  UIView* above = ratingButtons_[0];
  auto row = [&](const std::string& caption, UILabel*& captionOutlet, UILabel*& valueOutlet) {
    auto c = label(NSLocalizedString(caption), UIFont::systemFontOfSize(15, UIFontWeightSemibold));
    c->setFrame(CGRect::make(16, 0, 120, 25));
    place(content, c);
    activate(c->topAnchor().constraintEqualToAnchor(above->bottomAnchor(), 12));
    activate(c->heightAnchor().constraintEqualToAnchor(ratingButtons_[0]->heightAnchor()));
    auto v = label("", UIFont::systemFontOfSize(15));
    v->setTextAlignment(NSTextAlignmentRight);
    v->setFrame(CGRect::make(140, 0, width - 156, 25));
    place(content, v);
    activate(v->topAnchor().constraintEqualToAnchor(c->topAnchor()));
    activate(v->heightAnchor().constraintEqualToAnchor(ratingButtons_[0]->heightAnchor()));
    captionOutlet = c.get();
    valueOutlet = v.get();
    above = c.get();
  };
  row("Version", outlets_.versionLbl, outlets_.packageVersionLbl);
  row("Category", outlets_.categoryLbl, outlets_.packageCategoryLbl);

  auto top = separator();
  top->setFrame(CGRect::make(16, 0, width - 32, 1));
  place(content, top);
  Slot slot;
  slot.top = activate(top->topAnchor().constraintEqualToAnchor(above->bottomAnchor(), 16));
  slot.height = activate(top->heightAnchor().constraintEqualToConstant(1));
  slot.shownHeight = 1;
  slots_[top.get()] = slot;
  outlets_.topSeparator = top.get();
}

void PackageDetailsViewController::buildSections(UIView* content, double width) {
  UIView* previous = outlets_.topSeparator;
  const double w = width - 32;

  // Changelog.
  outlets_.changelogTitle = chain(sectionTitle("What's New"), previous, kTitleSpacing, -1);
  outlets_.changelogVersionLbl = chain(label("", UIFont::systemFontOfSize(13)), previous, 4, -1);
  auto changelog = std::make_shared<UITextView>();
  changelog->setEditable(false);
  changelog->setScrollEnabled(false);
  changelog->setFont(UIFont::systemFontOfSize(15));
  outlets_.changelogContentLbl = chain(changelog, previous, kContentSpacing, 0);
  outlets_.changelogSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // Video.
  outlets_.videoPreviewTitle = chain(sectionTitle("Video Preview"), previous, kTitleSpacing, -1);
  auto player = std::make_shared<UIView>();
  player->setAccessibilityLabel(NSLocalizedString("Video"));
  outlets_.videoPreviewPlayer = chain(player, previous, kContentSpacing, w * 9 / 16);
  outlets_.videoPreviewSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // Screenshots, then the before/after pair, which share the separator below them.
  outlets_.screenshotsTitle = chain(sectionTitle("Screenshots"), previous, kTitleSpacing, -1);
  outlets_.screenshotsCollectionView =
      chain(collection(UICollectionViewScrollDirectionHorizontal), previous, kContentSpacing, 422, 0, width);
  outlets_.screenshotsCollectionView->setAccessibilityLabel(NSLocalizedString("Screenshots"));
  outlets_.screenshotsLbl =
      chain(label(NSLocalizedString("No screenshots available"), UIFont::systemFontOfSize(15), 0), previous, kContentSpacing, -1);
  outlets_.beforeAfterTitle = chain(sectionTitle("Before / After"), previous, kTitleSpacing, -1);
  outlets_.beforeAfterCollectionView =
      chain(collection(UICollectionViewScrollDirectionHorizontal), previous, kContentSpacing, 441, 0, width);
  outlets_.beforeAfterCollectionView->setPagingEnabled(true);
  auto before = std::make_shared<UIImageView>();
  before->setContentMode(UIViewContentModeScaleAspectFit);
  before->setFrame(CGRect::make(16, 0, w, 441));
  place(content, before);
  activate(before->topAnchor().constraintEqualToAnchor(outlets_.beforeAfterCollectionView->topAnchor()));
  activate(before->heightAnchor().constraintEqualToAnchor(outlets_.beforeAfterCollectionView->heightAnchor()));
  outlets_.beforeImageView = before.get();
  outlets_.beforeAfterLbl = chain(label(NSLocalizedString("There was an error retrieving the before / after screenshots"),
                                        UIFont::systemFontOfSize(15), 0),
                                  previous, kContentSpacing, -1);
  outlets_.screenshotsSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // Description, the advertisement of one repository, the developer card.
  outlets_.descriptionTitle = chain(sectionTitle("Description"), previous, kTitleSpacing, -1);
  auto description = std::make_shared<UITextView>();
  description->setEditable(false);
  description->setScrollEnabled(false);
  description->setFont(UIFont::systemFontOfSize(15));
  outlets_.descriptionLbl = chain(description, previous, kContentSpacing, 0);
  outlets_.adsWebView = chain(std::make_shared<WKWebView>(), previous, kContentSpacing, 250, (width - 300) / 2, 300);
  outlets_.authorCollectionView =
      chain(collection(UICollectionViewScrollDirectionHorizontal), previous, kTitleSpacing, 80, 0, width);
  outlets_.authorCollectionView->setScrollEnabled(false);
  outlets_.authorSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // Reviews.
  outlets_.reviewsTitle = chain(sectionTitle("Ratings & Reviews"), previous, kTitleSpacing, -1);
  auto seeAll = button("See All");
  seeAll->setFrame(CGRect::make(width - 96, 0, 80, 24));
  place(content, seeAll);
  activate(seeAll->topAnchor().constraintEqualToAnchor(outlets_.reviewsTitle->topAnchor()));
  seeAll->addTarget(this, [this](UIControl&) { seeAllReviews(); }, UIControlEventTouchUpInside);
  outlets_.seeAllReviewsBtn = seeAll.get();
  outlets_.packageRatingLbl = chain(label("", UIFont::boldSystemFontOfSize(44)), previous, kContentSpacing, -1);
  outlets_.packageRatingSubLbl = chain(label(NSLocalizedString("out of 5"), UIFont::systemFontOfSize(13)), previous, 0, -1);
  outlets_.reviewsCollectionView =
      chain(collection(UICollectionViewScrollDirectionHorizontal), previous, kContentSpacing, 155, 0, width);
  outlets_.reviewsLbl = chain(label(NSLocalizedString("There are no reviews for this package yet"),
                                    UIFont::systemFontOfSize(15), 0),
                              previous, kContentSpacing, -1);
  auto contact = button("Contact Developer");
  outlets_.contactDeveloperBtn = chain(contact, previous, kSeparatorSpacing, 40, 16, (w - 16) / 2);
  contact->addTarget(this, [this](UIControl&) { contactDeveloper(); }, UIControlEventTouchUpInside);
  auto leave = button("Leave a Review");
  leave->setFrame(CGRect::make(16 + (w + 16) / 2, 0, (w - 16) / 2, 40));
  place(content, leave);
  activate(leave->topAnchor().constraintEqualToAnchor(contact->topAnchor()));
  activate(leave->heightAnchor().constraintEqualToAnchor(contact->heightAnchor()));
  leave->addTarget(this, [this](UIControl&) { leaveReview(); }, UIControlEventTouchUpInside);
  outlets_.leaveReviewBtn = leave.get();
  outlets_.reviewsSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // Information: a caption and its value per row, the value (which may take several
  // lines) in the column, the caption beside it.
  outlets_.informationsTitle = chain(sectionTitle("Information"), previous, kTitleSpacing, -1);
  outlets_.installedFilesBtn = chain(button("Installed Files"), previous, kContentSpacing, 30, 16, 140);
  outlets_.installedFilesBtn->addTarget(this, [this](UIControl&) { seeInstalledFiles(); }, UIControlEventTouchUpInside);
  auto infoRow = [&](const std::string& caption, UILabel*& captionOutlet, UILabel*& valueOutlet, UIView** line,
                     double spacing) {
    // The caption first: a person reads it before its value.
    auto c = label(NSLocalizedString(caption), UIFont::systemFontOfSize(15));
    c->setFrame(CGRect::make(16, 0, 130, 0));
    place(content, c);
    auto value = label("", UIFont::systemFontOfSize(15), 0);
    value->setTextAlignment(NSTextAlignmentRight);
    valueOutlet = chain(value, previous, spacing, -1, 150, w - 134);
    activate(c->topAnchor().constraintEqualToAnchor(value->topAnchor()));
    captionOutlet = c.get();
    if (line) *line = chain(separator(), previous, kRowSpacing, 1);
  };
  infoRow("Developer", outlets_.developerLbl, outlets_.developerNameLbl, &outlets_.developerSeparator, 20);
  infoRow("Size", outlets_.sizeLbl, outlets_.packageSizeLbl, &outlets_.sizeSeparator, kRowSpacing);
  infoRow("Compatibility", outlets_.compatibilityLbl, outlets_.packageCompatibilityLbl, &outlets_.compatibilitySeparator,
          kRowSpacing);
  infoRow("Dependencies", outlets_.dependenciesLbl, outlets_.packageDependenciesLbl, &outlets_.dependenciesSeparator,
          kRowSpacing);
  infoRow("Conflicts", outlets_.conflictsLbl, outlets_.packageConflictsLbl, &outlets_.conflictsSeparator, kRowSpacing);
  infoRow("Post-install action", outlets_.postInstallActionLbl, outlets_.packagePostInstallActionLbl,
          &outlets_.postInstallActionSeparator, kRowSpacing);
  infoRow("Date", outlets_.dateLbl, outlets_.packageDateLbl, &outlets_.dateSeparator, kRowSpacing);
  auto linkRow = [&](const std::string& key, const char* symbol, UIButton*& buttonOutlet, UIImageView*& imageOutlet) {
    auto b = button(key);
    buttonOutlet = chain(b, previous, kRowSpacing, 30, 48, w - 32);
    auto image = std::make_shared<UIImageView>(UIImage::systemImageNamed(symbol));
    image->setFrame(CGRect::make(16, 0, 24, 24));
    place(content, image);
    activate(image->topAnchor().constraintEqualToAnchor(b->topAnchor(), 3));
    imageOutlet = image.get();
  };
  linkRow("Developer Website", "safari", outlets_.developerWebsiteBtn, outlets_.developerWebsiteImageView);
  outlets_.developerWebsiteBtn->addTarget(this, [this](UIControl&) { developerWebsite(); }, UIControlEventTouchUpInside);
  outlets_.developerWebsiteSeparator = chain(separator(), previous, kRowSpacing, 1);
  linkRow("Donate", "heart", outlets_.donateBtn, outlets_.donateImageView);
  outlets_.donateBtn->addTarget(this, [this](UIControl&) { donate(); }, UIControlEventTouchUpInside);
  outlets_.donateSeparator = chain(separator(), previous, kRowSpacing, 1);
  infoRow("Beta", outlets_.isBetaLbl, outlets_.packageIsBetaLbl, nullptr, kRowSpacing);
  outlets_.informationsSeparator = chain(separator(), previous, kSeparatorSpacing, 1);

  // The repository card.
  outlets_.repositoryTitle = chain(sectionTitle("Repository"), previous, kTitleSpacing, -1);
  auto repoIcon = std::make_shared<UIImageView>();
  outlets_.repositoryIconImageView = chain(repoIcon, previous, kContentSpacing, 60, 16, 60);
  auto repoName = label("", UIFont::boldSystemFontOfSize(17));
  repoName->setFrame(CGRect::make(88, 0, w - 72, 22));
  place(content, repoName);
  activate(repoName->topAnchor().constraintEqualToAnchor(repoIcon->topAnchor(), 6));
  outlets_.repositoryNameLbl = repoName.get();
  auto repoDescription = label("", UIFont::systemFontOfSize(13), 2);
  repoDescription->setFrame(CGRect::make(88, 0, w - 72, 32));
  place(content, repoDescription);
  activate(repoDescription->topAnchor().constraintEqualToAnchor(repoName->bottomAnchor(), 2));
  outlets_.repositoryDescriptionLbl = repoDescription.get();

  // Other packages of the developer.
  outlets_.moreDevPackagesTitle = chain(sectionTitle("More by"), previous, kTitleSpacing, -1, 16, w - 90);
  auto seeAllPackages = button("See All");
  seeAllPackages->setFrame(CGRect::make(width - 96, 0, 80, 24));
  place(content, seeAllPackages);
  activate(seeAllPackages->topAnchor().constraintEqualToAnchor(outlets_.moreDevPackagesTitle->topAnchor()));
  seeAllPackages->addTarget(this, [this](UIControl&) { seeAllDevPackages(); }, UIControlEventTouchUpInside);
  outlets_.seeAllDevPackagesBtn = seeAllPackages.get();
  outlets_.otherDevPackagesLbl = chain(label(NSLocalizedString("This developer has no other packages"),
                                             UIFont::systemFontOfSize(15), 0),
                                       previous, kContentSpacing, -1);
  auto table = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  table->setScrollEnabled(false);
  outlets_.otherDevPackagesTableView = chain(table, previous, kContentSpacing, 140, 0, width);
  outlets_.copyrightLbl = chain(label("", UIFont::systemFontOfSize(11), 0), previous, kTitleSpacing, -1);
}

void PackageDetailsViewController::buildNavigationItems() {
  // The compact header: the package's icon as the title, the Get button on the right.
  customTitleView_ = std::make_shared<UIView>(CGRect::make(0, 0, 30, 30));
  titleViewImgView_ = std::make_shared<UIImageView>(titleViewImg_);
  titleViewImgView_->setFrame(customTitleView_->bounds());
  titleViewImgView_->setContentMode(UIViewContentModeScaleAspectFit);
  titleViewImgView_->layer().cornerRadius = 6.711;
  titleViewImgView_->setClipsToBounds(true);
  customTitleView_->addSubview(titleViewImgView_);
  customTitleView_->setAlpha(0);

  getBarBtn_ = UIButton::buttonWithType(UIButtonTypeCustom);
  getBarBtn_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(15));
  getBarBtn_->setTitleColor(UIColor::whiteColor());
  getBarBtn_->setFrame(CGRect::make(0, 0, 100, 25));
  getBarBtn_->layer().cornerRadius = 12;
  getBarBtn_->setAlpha(0);
  getBarBtn_->addTarget(this, [this](UIControl& c) { getPackage(static_cast<UIButton*>(&c)); }, UIControlEventTouchUpInside);
  getBarBtnItem_ = UIBarButtonItem::itemWithCustomView(getBarBtn_);
  for (UIButton* b : {getBarBtn_.get(), outlets_.getBtn})
    UIButtonGetButton::addTarget(*b, this, [this](UIGestureRecognizer& r) { presentOptions(&r); });
  defaultTitleView_ = navigationItem().titleView();
}
