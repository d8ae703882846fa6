#pragma once
// The first screen of the first run, presented by the first tab while the first run is
// not done: a welcome and one button that leads on to the vendor-account sign-in
// (system 13 and later) or to the palette chooser (before 13). The sign-in and the
// import of other managers' sources follow; the import ends the walk. Opened through
// KVScreens::onboarding.
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"

class UIButton;
class UILabel;

class InitViewController : public KVPalettedViewController {
 public:
  explicit InitViewController(KVScreenContext context);

  void loadView() override;
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // Its button.
  void showRepoTransferVC();
  // Presents the next step, on the main thread (later, when called elsewhere).
  void nextViewController();

  UIButton* continueButton() const { return continueButton_; }

 private:
  KVScreenContext context_;
  UILabel* titleLabel_ = nullptr;
  UILabel* descriptionLabel_ = nullptr;
  UIButton* continueButton_ = nullptr;
};
