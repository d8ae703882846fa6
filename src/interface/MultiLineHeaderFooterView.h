#pragma once
// A plain subtitle row whose two labels wrap over any number of lines (the queue
// confirmation's footers, registered by class under "footerCell").
#include <string>

#include "uikit/UITableViewCell.h"

class MultiLineHeaderFooterView : public UITableViewCell {
 public:
  // Always the subtitle style, whatever style is asked for.
  MultiLineHeaderFooterView(UITableViewCellStyle style, const std::string& reuseIdentifier);
  void awakeFromNib() override;

 private:
  void wrapLabels();
};
