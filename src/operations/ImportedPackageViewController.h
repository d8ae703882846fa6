#pragma once
// A .deb file handed to the application: its control fields, read with dpkg as the user
// (never as root: the file comes from anywhere), its raw control text, what APT would
// install from the sources with it (or, when its dependencies can't be met, what is
// missing, and no Install), and Install (the queue confirmation with the archive, which
// APT installs with its dependencies) or Cancel (which deletes the file).
//
// The path is the device's (another application of the device handed it over). Where the
// device has no such file, a file of that path outside the device root (the terminal's
// `open` stands for an application of this machine) is first copied into the
// application's inbox (Documents/Inbox), where the device's system puts the documents
// other applications hand over: the package tools run in a sandbox that sees only the
// device root. The copy is what is read, installed and deleted; the original stays. Once
// read, the file takes APT's own name for it in the inbox, a name APT reads as a file.
#include <memory>
#include <optional>
#include <string>

#include "interface/KVScreenContext.h"
#include "interface/RootViewController.h"
#include "operations/APTDependsTree.h"

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
  // The dry run of the archive has answered.
  bool isResolved() const { return resolved_; }

  void install();
  void dismiss();

  void viewDidLoad() override;
  void paletteWillChangeToStyle(uint32_t style) override { useGroupedLightColorsForStyle(style); }
  void paletteDidChange(const std::shared_ptr<KVPalette>& palette) override;

 private:
  // The file below the device root: the handed path itself, else a copy in the inbox.
  std::optional<std::string> placeInDeviceRoot(std::string* error);
  // Gives the read file APT's name for it in the inbox; false when it can't have one.
  bool nameForAPT(std::string* error);
  void showError(const std::string& title, const std::string& detail);
  // Asks APT what installing the archive means, on a background queue.
  void resolve();
  void resolved(const APTDependsTree& tree);
  // The fields, what APT says and the raw text, as the table shows them.
  void showSections();

  Value::Array infoSections_;  // the warnings, if any, and the package info
  Value::Array rawSection_;
  Value::Array resolutionSection_;

  KVScreenContext context_;
  std::string packagePath_;
  std::string escappedPackagePath_;
  std::string localPackagePath_;
  // Whether localPackagePath_ is ours to delete (inside the device root).
  bool ownsLocalFile_ = false;
  Value packageInfo_;
  std::shared_ptr<UIBarButtonItem> installButton_;
  bool installable_ = false;  // nothing but APT's answer keeps it from being installed
  bool resolved_ = false;
};
