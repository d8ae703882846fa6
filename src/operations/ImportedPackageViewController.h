#pragma once
// A .deb file handed to the application: its control fields, read with dpkg as the user
// (never as root: the file comes from anywhere), its raw control text, and Install (a
// dpkg-install task, shown in the verbose log) or Cancel (which deletes the file).
//
// The path is the device's (another application of the device handed it over). Where the
// device has no such file, a file of that path outside the device root (the terminal's
// `open` stands for an application of this machine) is first copied into the
// application's inbox (Documents/Inbox), where the device's system puts the documents
// other applications hand over: the package tools run in a sandbox that sees only the
// device root. The copy is what is read, installed and deleted; the original stays.
#include <memory>
#include <optional>
#include <string>

#include "interface/KVScreenContext.h"
#include "interface/RootViewController.h"

class UIBarButtonItem;

class ImportedPackageViewController : public RootViewController {
 public:
  // The application's own identifier, which this screen refuses to install.
  static constexpr const char* kApplicationIdentifier = "me.korvale.quillbark";

  ImportedPackageViewController(KVScreenContext context, std::string path);

  const std::string& packagePath() const { return packagePath_; }
  // The path as one quoted shell word, as the dpkg command line holds it.
  const std::string& escappedPackagePath() const { return escappedPackagePath_; }
  // The file that is read, installed and deleted: the handed path, or its copy in the inbox.
  const std::string& localPackagePath() const { return localPackagePath_; }
  // The first stanza of the control text, field by field, with the raw text under "rawPackage".
  const Value& packageInfo() const { return packageInfo_; }
  // The command line that reads the control file.
  std::string controlCommand() const;
  UIBarButtonItem* installButton() const { return installButton_.get(); }

  void install();
  void dismiss();

  void viewDidLoad() override;
  void paletteWillChangeToStyle(uint32_t style) override { useGroupedLightColorsForStyle(style); }
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  // The file below the device root: the handed path itself, else a copy in the inbox.
  std::optional<std::string> placeInDeviceRoot(std::string* error);
  void showError(const std::string& title, const std::string& detail);

  KVScreenContext context_;
  std::string packagePath_;
  std::string escappedPackagePath_;
  std::string localPackagePath_;
  // Whether localPackagePath_ is ours to delete (inside the device root).
  bool ownsLocalFile_ = false;
  Value packageInfo_;
  std::shared_ptr<UIBarButtonItem> installButton_;
};
