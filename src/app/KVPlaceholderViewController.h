#pragma once
// A plain named screen that stands where a screen of a later part of the application
// will be (KVRootScreens makes one for every screen not built yet): it shows its name,
// what it was given and that it is not built yet, and says so in the log when it is
// opened.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interface/KVPalettedViewController.h"

class UILabel;

class KVPlaceholderViewController : public KVPalettedViewController {
 public:
  explicit KVPlaceholderViewController(std::string screenName, std::string detail = {});

  const std::string& screenName() const { return screenName_; }
  const std::string& detail() const { return detail_; }
  void setDetail(std::string detail) { detail_ = std::move(detail); }
  // A screen the real one leads to, offered meanwhile as a bar button titled `title`
  // that pushes what `open` makes (a tab's placeholder leads to the screens that are built);
  // a maker that answers none has shown what it had to say itself.
  using ScreenMaker = std::function<std::shared_ptr<UIViewController>()>;
  void offer(std::string title, ScreenMaker open);

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

 private:
  bool logged_ = false;
  std::string screenName_;
  std::string detail_;
  std::vector<std::pair<std::string, ScreenMaker>> offers_;
};
