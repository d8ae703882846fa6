#pragma once
// What a picker row tells the screen that shows it: every turn of the wheel, and the
// choice the row settles on when it closes. Both are optional.
#include "foundation/Value.h"

class KVUIPickerCell;

class KVPickerCellDelegate {
 public:
  virtual ~KVPickerCellDelegate() = default;
  virtual void pickerCellDidPickRow(KVUIPickerCell&, long /*row*/, const Value& /*value*/) {}
  virtual void pickerCellDidFinalizeSelectionWithRow(KVUIPickerCell&, long /*row*/, const Value& /*value*/) {}
};
