#pragma once
// The palette chooser of the first run, before system 13: four options (light, grey,
// black, blue), each previewed at once on this screen without changing the
// application's palette. Continue stores the chosen option's three preferences
// ("DarkMode", "AppleDarkMode", "TrueDarkMode"), re-themes every screen and leads on to
// the vendor-account sign-in.
//
// The chosen option is one process-wide number, 0 (light) at start: a second chooser
// starts with the option last tapped, and Continue without a tap stores the light one.
#include "interface/KVPalettedViewController.h"
#include "interface/KVScreenContext.h"

class UIButton;
class UIImageView;
class UILabel;

class DarkmodeViewController : public KVPalettedViewController {
 public:
  explicit DarkmodeViewController(KVScreenContext context);

  void loadView() override;
  void viewDidLoad() override;
  // The option's look again over the palette's (the screen previews the option).
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

  // The four option buttons: options 0, 1, 2 and 3.
  void lightMode();
  void darkMode();
  void pureBlackMode();
  void blueBlackMode();
  // Shows the current option: its check mark, banner, background and bar style.
  void darkmodeHandler();
  // Stores the option's preferences and applies them to every screen.
  void darkmodeContinueButton();
  void showLoginViewController();
  // Presents the sign-in, on the main thread (later, when called elsewhere).
  void nextViewController();

  // The process-wide option (0 light, 1 grey, 2 black, 3 blue).
  static int option();
  static void resetOptionForTesting();

  UIImageView* lightCheckbox() const { return checkboxes_[0]; }
  UIImageView* darkCheckbox() const { return checkboxes_[1]; }
  UIImageView* pureBlacCheckbox() const { return checkboxes_[2]; }
  UIImageView* blueBlackCheckbox() const { return checkboxes_[3]; }
  UIImageView* bannerImage() const { return bannerImage_; }

 private:
  void choose(int option);
  // The option's colours: its background, the title and the buttons' tint.
  void showOptionColours();

  KVScreenContext context_;
  UIImageView* checkboxes_[4] = {};
  UIButton* optionButtons_[4] = {};
  UIImageView* bannerImage_ = nullptr;
  UILabel* titleLabel_ = nullptr;
  UIView* windowBlack_ = nullptr;
};
