#pragma once
// The application's own list of changes: the "Changelog" property list under a header of
// the application's artwork. Presented by the featured screen once per version (with
// Done), or pushed by the account screen (with the way back).
#include <memory>

#include "interface/RootViewController.h"

class UILabel;

class ChangelogViewController : public RootViewController {
 public:
  ChangelogViewController();

  UILabel* headerLabel() const { return headerLabel_.get(); }
  // A new header each call; its title label becomes headerLabel.
  std::shared_ptr<UIView> headerView();
  void done();

  void viewDidLoad() override;
  void paletteWillChangeToStyle(uint32_t style) override { useGroupedLightColorsForStyle(style); }
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  std::shared_ptr<UILabel> headerLabel_;
};
