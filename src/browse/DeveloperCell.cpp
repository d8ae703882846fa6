#include "browse/DeveloperCell.h"

#include "foundation/LocalizedStrings.h"
#include "uikit/UIImageView.h"
#include "uikit/UILabel.h"
#include "uikit/UINib.h"

// The interface file's arrangement of an 80-point card.
DeveloperCell::DeveloperCell() : UICollectionViewCell(CGRect::make(0, 0, 375, 80)) {
  auto icon = std::make_shared<UIImageView>();
  icon->setFrame(CGRect::make(16, 10, 60, 60));
  auto title = std::make_shared<UILabel>(CGRect::make(88, 18, 271, 18));
  title->setFont(UIFont::systemFontOfSize(13));
  title->setText(NSLocalizedString("Developer"));
  auto name = std::make_shared<UILabel>(CGRect::make(88, 38, 271, 24));
  name->setFont(UIFont::boldSystemFontOfSize(17));
  for (const std::shared_ptr<UIView>& v : std::vector<std::shared_ptr<UIView>>{icon, title, name})
    contentView()->addSubview(v);
  developerIconView_ = icon.get();
  developerTitle_ = title.get();
  developerNameLbl_ = name.get();
}

void DeveloperCell::registerInterfaceFile() {
  UINib::registerView("DeveloperCell", [] { return std::make_shared<DeveloperCell>(); });
}
