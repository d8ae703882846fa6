#pragma once
// A view a collection takes from its reuse pool: the base of cells and of section
// headers and footers (supplementary views).
#include <string>
#include <vector>

#include "uikit/UIView.h"

class UICollectionReusableView : public UIView {
 public:
  explicit UICollectionReusableView(CGRect frame = CGRect::make(0, 0, 50, 50)) : UIView(frame) {}
  const std::string& reuseIdentifier() const { return reuseIdentifier_; }
  void setReuseIdentifier(std::string identifier) { reuseIdentifier_ = std::move(identifier); }
  virtual void prepareForReuse() {}
  // The texts of the visible labels and controls inside, joined with " · ".
  virtual std::string screenItemText() const;
  bool appendScreenText(std::vector<std::string>& lines) const override;

 protected:
  static void collectText(const UIView* view, std::string& out);

 private:
  std::string reuseIdentifier_;
};
