#include "package/KVPackageHeaderButtons.h"

#include "foundation/LocalizedStrings.h"
#include "uikit/NSLayoutConstraint.h"
#include "uikit/UIButton.h"
#include "uikit/UILabel.h"

namespace {
std::shared_ptr<NSLayoutConstraint> activate(std::shared_ptr<NSLayoutConstraint> constraint) {
  constraint->setActive(true);
  return constraint;
}

void place(UIView* content, const std::shared_ptr<UIView>& view) {
  view->setTranslatesAutoresizingMaskIntoConstraints(false);
  content->addSubview(view);
}
}  // namespace

KVPackageHeaderButtons KVPackageHeaderButtons::build(UIView* content, UIView* icon, UIView* author, const void* target,
                                                     std::function<void(UIButton*)> onGet,
                                                     std::function<void(UIButton*)> onShare) {
  KVPackageHeaderButtons b;
  auto get = UIButton::buttonWithType(UIButtonTypeCustom);
  get->titleLabel()->setFont(UIFont::boldSystemFontOfSize(13));
  get->setTitleColor(UIColor::whiteColor());
  get->setFrame(CGRect::make(112, 0, 80, 30));
  place(content, get);
  activate(get->leftAnchor().constraintEqualToAnchor(author->leftAnchor()));
  activate(get->heightAnchor().constraintEqualToConstant(30));
  b.getWidth = activate(get->widthAnchor().constraintEqualToConstant(80));
  // Beside the icon, at its foot; or under the developer's name.
  b.getTopToIcon = get->bottomAnchor().constraintEqualToAnchor(icon->bottomAnchor());
  b.getTopToAuthor = activate(get->topAnchor().constraintEqualToAnchor(author->bottomAnchor(), 30));
  get->addTarget(target, [onGet](UIControl& c) { onGet(static_cast<UIButton*>(&c)); }, UIControlEventTouchUpInside);
  b.get = get.get();

  auto share = UIButton::buttonWithType(UIButtonTypeSystem);
  share->setImage(UIImage::systemImageNamed("square.and.arrow.up"));
  share->setAccessibilityLabel(NSLocalizedString("Share"));
  share->setFrame(CGRect::make(0, 0, 30, 30));
  place(content, share);
  activate(share->leftAnchor().constraintEqualToAnchor(get->rightAnchor(), 12));
  activate(share->widthAnchor().constraintEqualToConstant(30));
  activate(share->heightAnchor().constraintEqualToConstant(30));
  b.shareTopToIcon = share->bottomAnchor().constraintEqualToAnchor(icon->bottomAnchor());
  b.shareTopToAuthor = activate(share->topAnchor().constraintEqualToAnchor(author->bottomAnchor(), 30));
  share->addTarget(target, [onShare](UIControl& c) { onShare(static_cast<UIButton*>(&c)); }, UIControlEventTouchUpInside);
  b.share = share.get();
  return b;
}
