#include "interface/MultiLineHeaderFooterView.h"

MultiLineHeaderFooterView::MultiLineHeaderFooterView(UITableViewCellStyle, const std::string& reuseIdentifier)
    : UITableViewCell(UITableViewCellStyleSubtitle, reuseIdentifier) {
  wrapLabels();
}

void MultiLineHeaderFooterView::awakeFromNib() {
  UITableViewCell::awakeFromNib();
  wrapLabels();
}

void MultiLineHeaderFooterView::wrapLabels() {
  for (UILabel* label : {textLabel(), detailTextLabel()}) {
    label->setNumberOfLines(0);
    label->setLineBreakMode(NSLineBreakByWordWrapping);
  }
}
