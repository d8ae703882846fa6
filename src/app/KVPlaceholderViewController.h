#pragma once
// A plain named screen that stands where a screen of a later part of the application
// will be (the package page, the local package screen, the news screen, the developer
// page, the queue confirmation): it shows its name and that it is not built yet, and
// says so in the log when it is opened.
#include <string>

#include "interface/KVPalettedViewController.h"

class UILabel;

class KVPlaceholderViewController : public KVPalettedViewController {
 public:
  explicit KVPlaceholderViewController(std::string screenName, std::string detail = {});
  // Registers a placeholder under each interface file name that nothing has registered.
  static void registerMissingInterfaceFiles();

  const std::string& screenName() const { return screenName_; }
  const std::string& detail() const { return detail_; }
  void setDetail(std::string detail) { detail_ = std::move(detail); }

  void loadView() override;
  void viewDidLoad() override;
  void viewWillAppear(bool animated) override;

 private:
  bool logged_ = false;
  std::string screenName_;
  std::string detail_;
};
