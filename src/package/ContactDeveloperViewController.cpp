#include "package/ContactDeveloperViewController.h"

#include "core/KVMailLink.h"
#include "database/KVRDevelopers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/URL.h"
#include "interface/ErrorViewController.h"
#include "interface/KVShortConfirmation.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIApplication.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINavigationController.h"
#include "uikit/UIProgressView.h"
#include "uikit/UIScreen.h"
#include "uikit/UIScrollView.h"
#include "uikit/UISwipeGestureRecognizer.h"

namespace {
const UIColor kLinkColour = UIColor::colorWithRed(0, 0.67, 0.88, 1);

bool present(const std::optional<std::string>& text) { return text && !text->empty(); }

// The profile's handle: the last component of its address.
std::string lastPathComponent(const std::string& address) {
  if (auto url = URL::fromString(address); url && !url->path().empty()) return url->lastPathComponent();
  return Files::lastPathComponent(address);
}
}  // namespace

ContactDeveloperViewController::ContactDeveloperViewController(KVScreenContext context, KVContactDeveloperInputs inputs)
    : context_(std::move(context)), inputs_(std::move(inputs)) {}

ContactDeveloperViewController::~ContactDeveloperViewController() {
  for (UITableView* table : {contactTableView_, donationLinksTableView_}) {
    if (!table) continue;
    table->setDataSource(nullptr);
    table->setTableDelegate(nullptr);
  }
}

// The interface file's arrangement: the avatar and name above the two lists.
void ContactDeveloperViewController::loadView() {
  KVPalettedViewController::loadView();
  CGRect screen = UIScreen::mainScreen().bounds();
  const double w = screen.width();
  auto scroll = std::make_shared<UIScrollView>(screen);
  view()->addSubview(scroll);
  // The page fills the screen's view, which a sheet makes shorter than the screen.
  NSLayoutConstraint::activateEdges(*scroll, *view());
  scrollView_ = scroll.get();
  auto progress = std::make_shared<UIProgressView>(UIProgressViewStyleDefault);
  progress->setFrame(CGRect::make(0, 0, w, 2));
  view()->addSubview(progress);
  tasksProgressBar_ = progress.get();
  auto add = [this](std::shared_ptr<UIView> v, CGRect frame) {
    v->setFrame(frame);
    scrollView_->addSubview(v);
  };
  auto icon = std::make_shared<UIImageView>();
  icon->setContentMode(UIViewContentModeScaleAspectFill);
  add(icon, CGRect::make((w - 100) / 2, 20, 100, 100));
  auto verified = std::make_shared<UIImageView>();
  add(verified, CGRect::make((w + 100) / 2 - 24, 96, 24, 24));
  auto name = std::make_shared<UILabel>();
  name->setFont(UIFont::boldSystemFontOfSize(22));
  name->setTextAlignment(NSTextAlignmentCenter);
  add(name, CGRect::make(16, 132, w - 32, 28));
  auto contact = std::make_shared<UITableView>(CGRect{}, UITableViewStylePlain);
  contact->setScrollEnabled(false);
  add(contact, CGRect::make(0, 180, w, 88));
  auto donateTitle = std::make_shared<UILabel>();
  donateTitle->setFont(UIFont::boldSystemFontOfSize(20));
  donateTitle->setText(NSLocalizedString("Donate"));
  add(donateTitle, CGRect::make(16, 298, w - 32, 24));
  auto donations = std::make_shared<UITableView>(CGRect::make(0, 332, w, 88), UITableViewStylePlain);
  donations->setScrollEnabled(false);
  donations->setTranslatesAutoresizingMaskIntoConstraints(false);
  scrollView_->addSubview(donations);
  authorIcon_ = icon.get();
  verifiedIcon_ = verified.get();
  authorLbl_ = name.get();
  contactTableView_ = contact.get();
  donationLinksTitle_ = donateTitle.get();
  donationLinksTableView_ = donations.get();
  donations->topAnchor().constraintEqualToAnchor(donationLinksTitle_->bottomAnchor(), 10)->setActive(true);
  donationHeight_ = donations->heightAnchor().constraintEqualToConstant(88);
  donationHeight_->setActive(true);
  scrollView_->setContentSize(CGSize{w, 460});
}

void ContactDeveloperViewController::viewDidLoad() {
  KVPalettedViewController::viewDidLoad();
  tasksProgressBar_->setHidden(true);
  navigationItem().setTitle(NSLocalizedString("Developer Page"));
  isFollowed_ = context_.developers->isDeveloperFollowed(inputs_.developerName);
  followedBtn_ = UIBarButtonItem::itemWithTitle(NSLocalizedString(isFollowed_ ? "Unfollow" : "Follow"),
                                                UIBarButtonItemStylePlain,
                                                [this](UIBarButtonItem&) { changeIsDeveloperFollowedState(); });
  navigationItem().setRightBarButtonItem(followedBtn_);
  donationLinks_ = {"PayPal", "Other"};
  for (UITableView* table : {contactTableView_, donationLinksTableView_}) {
    table->setDataSource(this);
    table->setTableDelegate(this);
    // The interface file "GenericCell": a plain row with its standard label.
    table->registerClass<UITableViewCell>("genericCell");
  }
  auto swipe = std::make_shared<UISwipeGestureRecognizer>([this](UIGestureRecognizer&) {
    if (navigationController()) navigationController()->popViewControllerAnimated(true);
  });
  swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
  view()->addGestureRecognizer(swipe);
}

void ContactDeveloperViewController::viewWillAppear(bool animated) {
  KVPalettedViewController::viewWillAppear(animated);
  setContent();
}

void ContactDeveloperViewController::setContent() {
  authorIcon_->setImage(inputs_.avatar);
  authorIcon_->layer().cornerRadius = authorIcon_->frame().height() / 2;
  authorIcon_->layer().masksToBounds = true;
  authorLbl_->setText(inputs_.developerName);
  for (UITableView* table : {contactTableView_, donationLinksTableView_}) {
    table->setBackgroundColor(UIColor::clearColor());
    table->setSeparatorColor(UIColor::clearColor());
  }
  donationHeight_->setConstant(44 * static_cast<double>(donationLinks_.size()));
  verifiedIcon_->setImage(UIImage::imageNamed("Verified Icon"));
}

// The light palette reads as a grouped list here: a light grey page of white rows.
void ContactDeveloperViewController::paletteWillChangeToStyle(uint32_t style) {
  useGroupedLightColorsForStyle(style);
}

void ContactDeveloperViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  if (!palette || !isViewLoaded()) return;
  view()->setBackgroundColor(palette->backgroundColor());
  authorLbl_->setTextColor(palette->primaryTextColor());
  donationLinksTitle_->setTextColor(palette->primaryTextColor());
  contactTableView_->reloadData();
  donationLinksTableView_->reloadData();
}

long ContactDeveloperViewController::tableViewNumberOfRowsInSection(UITableView& table, long) {
  return &table == contactTableView_ ? 2 : static_cast<long>(donationLinks_.size());
}

std::shared_ptr<UITableViewCell> ContactDeveloperViewController::tableViewCellForRowAtIndexPath(UITableView& table,
                                                                                               const NSIndexPath& path) {
  auto cell = table.dequeueReusableCellWithIdentifier("genericCell", path);
  if (!cell) return std::make_shared<UITableViewCell>();
  std::string title;
  if (&table == contactTableView_) title = NSLocalizedString(path.row == 0 ? "Twitter" : "Email");
  else if (static_cast<size_t>(path.row) < donationLinks_.size()) title = donationLinks_[static_cast<size_t>(path.row)];
  cell->textLabel()->setText(title);
  cell->textLabel()->setTextColor(kLinkColour);
  if (palette()) cell->setBackgroundColor(palette()->cellBackgroundColor());
  return cell;
}

void ContactDeveloperViewController::tableViewDidSelectRowAtIndexPath(UITableView& table, const NSIndexPath& path) {
  table.deselectRowAtIndexPath(path, true);
  const std::string& name = inputs_.developerName;
  if (&table == contactTableView_) {
    if (path.row == 0) return openTwitter();
    UIApplication::sharedApplication().openURL(
        KVMailLink::url(inputs_.email, NSLocalizedFormat("Quillbark 5: Question regarding %@", {inputs_.packageName})));
    return;
  }
  if (path.row != 0) return;  // "Other": there is no second link to open
  if (present(inputs_.donateURL)) {
    push(context_.screens->webPage(*inputs_.donateURL, NSLocalizedFormat("%@'s Donate Link", {name}), false));
    return;
  }
  showCard(NSLocalizedString("No PayPal Link"), NSLocalizedFormat("%@ hasn't provided a PayPal link.", {name}));
}

void ContactDeveloperViewController::openTwitter() {
  const std::string& name = inputs_.developerName;
  if (!present(inputs_.twitterURL)) {
    showCard(NSLocalizedString("No Twitter Link"), NSLocalizedFormat("%@ hasn't provided a Twitter link.", {name}));
    return;
  }
  auto& application = UIApplication::sharedApplication();
  const std::string app =
      "twitter://user?screen_name=" + URL::percentEncode(lastPathComponent(*inputs_.twitterURL));
  if (application.canOpenURL(app)) {
    application.openURL(app);
    return;
  }
  push(context_.screens->webPage(*inputs_.twitterURL, name + "'s Twitter", false));
}

void ContactDeveloperViewController::showCard(const std::string& title, const std::string& message) {
  auto card = std::make_shared<ErrorViewController>();
  card->setModalPresentationStyle(UIModalPresentationOverFullScreen);
  card->showWithTitle(title, message, 1, NSLocalizedString("OK"), std::nullopt, std::string());
  presentViewController(card, true);
}

void ContactDeveloperViewController::push(std::shared_ptr<UIViewController> screen) {
  lastPushed_ = screen;
  if (auto* navigation = navigationController()) navigation->pushViewController(std::move(screen), true);
}

void ContactDeveloperViewController::changeIsDeveloperFollowedState() {
  // Written in the background (and sent to the vendor account); the button changes at once.
  isFollowed_ = !isFollowed_;
  context_.developers->setDeveloper(inputs_.developerName, isFollowed_);
  followedBtn_->setTitle(NSLocalizedString(isFollowed_ ? "Unfollow" : "Follow"));
  KVShortConfirmation::show(*this, isFollowed_ ? "Followed" : "Unfollowed");
}
