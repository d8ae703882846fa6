#include "operations/ImportedPackageViewController.h"

#include "core/DebianNames.h"
#include "core/ShellCommand.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"
#include "foundation/WeakSelf.h"
#include "interface/KVScreens.h"
#include "operations/KVAPTManager.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"
#include "system/Process.h"
#include "uikit/UIBarButtonItem.h"
#include "uikit/UINavigationController.h"

namespace {
Value row(std::initializer_list<std::pair<const std::string, Value>> fields) { return Value::dict(fields); }

Value section(Value::Array rows) { return Value::dict({{"rows", Value(std::move(rows))}}); }

// Bytes as text; what is not UTF-8 becomes U+FFFD and the rest reads on.
std::string lossyUTF8(const std::string& bytes) {
  if (isValidUTF8(bytes)) return bytes;
  return utf8FromUTF16(utf16FromUTF8(bytes));
}

bool insideDeviceRoot(const std::string& path) {
  const std::string root = DeviceRoot::root();
  return root.empty() || path.rfind(root + "/", 0) == 0;
}
}  // namespace

ImportedPackageViewController::ImportedPackageViewController(KVScreenContext context, std::string path)
    : RootViewController(Value::dict({{"sections", Value::array({section({row({{"title", "Loading Package Info"}})})})}})),
      context_(std::move(context)),
      packagePath_(std::move(path)),
      escappedPackagePath_(ShellCommand::quote(packagePath_)),
      localPackagePath_(packagePath_) {}

std::string ImportedPackageViewController::controlCommand() const {
  return "dpkg -I -- " + escappedPackagePath_ + " control";
}

std::optional<std::string> ImportedPackageViewController::placeInDeviceRoot(std::string* error) {
  if (insideDeviceRoot(packagePath_)) return packagePath_;
  // Another application of the device hands over a path of the device.
  if (std::string onDevice = DeviceRoot::devicePath(packagePath_); Files::exists(onDevice)) return onDevice;
  if (!Files::exists(packagePath_)) {
    if (error) *error = "there is no such file";
    return std::nullopt;
  }
  const std::string inbox = DeviceRoot::devicePath(std::string(DeviceRoot::kDocumentsFolder) + "/Inbox");
  if (!DeviceFiles::createFolders(inbox, error)) return std::nullopt;
  // A name of its own: another document of the same name may wait there.
  std::string name = Files::lastPathComponent(packagePath_);
  std::string extension = Files::pathExtension(name);
  std::string stem = extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1);
  std::string target = inbox + "/" + name;
  for (int n = 1; Files::exists(target); ++n)
    target = inbox + "/" + stem + "-" + std::to_string(n) + (extension.empty() ? "" : "." + extension);
  if (!DeviceFiles::copyFile(packagePath_, target, error)) return std::nullopt;
  return target;
}

void ImportedPackageViewController::viewDidLoad() {
  RootViewController::viewDidLoad();
  tableView()->setSeparatorStyle(UITableViewCellSeparatorStyleSingleLine);
  installButton_ = UIBarButtonItem::itemWithTitle(NSLocalizedString("Install"), UIBarButtonItemStyleDone,
                                                  [this](UIBarButtonItem&) { install(); });
  navigationItem().setRightBarButtonItem(installButton_);
  navigationItem().setLeftBarButtonItem(UIBarButtonItem::itemWithTitle(
      NSLocalizedString("Cancel"), UIBarButtonItemStylePlain, [this](UIBarButtonItem&) { dismiss(); }));

  std::string error;
  auto local = placeInDeviceRoot(&error);
  if (!local) return showError("The package file could not be read", packagePath_ + "\n" + error);
  localPackagePath_ = *local;
  ownsLocalFile_ = true;
  escappedPackagePath_ = ShellCommand::quote(localPackagePath_);

  // Read as the user: the archive is nobody's we know, and reading it needs no rights.
  const std::string command = controlCommand();
  Process::Outcome outcome = Process::run("/bin/sh", {"-c", command});
  if (outcome.status == -1) return showError("ERROR PROCESSING COMMAND", command);
  std::string text = lossyUTF8(outcome.output);
  auto stanzas = KVParsingUtility::arrayFromPackagesFromString(text);
  const KVStanza* stanza = stanzas.empty() ? nullptr : &stanzas.front();
  if (outcome.status != 0 || !stanza || !stanza->contains("Package"))
    return showError("This file is not a package that can be installed", text);

  packageInfo_ = stanza->toValue();
  Value::Array info{row({{"header", "Package Info"}})};
  for (const auto field : *stanza) {
    if (field.name == "rawPackage") continue;
    info.push_back(row({{"title", std::string(field.name)}, {"subtitle", std::string(field.value)}, {"cellStyle", "subtitle"}}));
  }
  rawSection_ = {row({{"header", "Raw Info"}}),
                 row({{"title", "Control"}, {"subtitle", stanza->value("rawPackage")}, {"cellStyle", "subtitle"}})};
  infoSections_ = {section(std::move(info))};
  std::string title = stanza->value("Name");
  if (title.empty()) title = stanza->value("Package");
  setTitle(title);
  if (stanza->value("Package") == kApplicationIdentifier) {
    infoSections_.insert(infoSections_.begin(),
                         section({row({{"header", "Warnings"}}),
                                  row({{"subtitle",
                                        "Quillbark cannot be installed using the Open In method, please install from "
                                        "the official repo"},
                                       {"cellStyle", "subtitle"},
                                       {"subtitleColor", "#FF453A"}})}));
    installButton_->setEnabled(false);
    showSections();
    return;
  }
  if (!nameForAPT(&error)) {
    installButton_->setEnabled(false);
    resolutionSection_ = {row({{"header", "Can't Be Installed"}}),
                          row({{"subtitle", error}, {"cellStyle", "subtitle"}, {"subtitleColor", "#FF453A"}})};
    showSections();
    return;
  }
  installable_ = true;
  resolve();
}

bool ImportedPackageViewController::nameForAPT(std::string* error) {
  if (KVAPTManager::isLocalArchivePath(localPackagePath_)) return true;
  auto name = DebianNames::archiveFileName(packageInfo_["Package"].asString(), packageInfo_["Version"].asString(),
                                           packageInfo_["Architecture"].asString());
  if (!name) {
    if (error) *error = NSLocalizedString("Its package name, version or architecture is not one APT can install.");
    return false;
  }
  const std::string inbox = DeviceRoot::devicePath(std::string(DeviceRoot::kDocumentsFolder) + "/Inbox");
  std::string stem = name->substr(0, name->size() - 4), target = inbox + "/" + *name;
  for (int n = 1; Files::exists(target); ++n) target = inbox + "/" + stem + "-" + std::to_string(n) + ".deb";
  std::string why;
  if (!KVAPTManager::isLocalArchivePath(target) || !DeviceFiles::createFolders(inbox, &why) ||
      !DeviceFiles::moveFile(localPackagePath_, target, &why)) {
    KVLog("The package file %s could not be named for APT: %s", localPackagePath_.c_str(), why.c_str());
    if (error) *error = NSLocalizedString("The file could not be named for APT:") + " " + why;
    return false;
  }
  localPackagePath_ = target;
  escappedPackagePath_ = ShellCommand::quote(localPackagePath_);
  return true;
}

void ImportedPackageViewController::resolve() {
  resolved_ = false;
  installButton_->setEnabled(false);
  resolutionSection_ = {row({{"header", "Dependencies"}}), row({{"title", NSLocalizedString("Asking APT...")}})};
  showSections();
  performOnBackgroundThread([weak = weakSelf(this), path = localPackagePath_] {
    KVAPTManager::unmetDependenciesForPackages("", {path}, [weak](const APTDependsTree& tree) {
      performOnMainThread([weak, tree] {
        if (auto self = weak.lock()) self->resolved(tree);
      });
    });
  });
}

// What installing the archive changes beyond it, from the sources; or why it can't be.
void ImportedPackageViewController::resolved(const APTDependsTree& tree) {
  // APT was running something else: ask again shortly.
  if (!tree.problems.empty() && tree.problems.front().rfind(KVAPTManager::busyText().substr(0, 12), 0) == 0) {
    performAfterWithBlock(1, [weak = weakSelf(this)] {
      if (auto self = weak.lock()) self->resolve();
    });
    return;
  }
  resolved_ = true;
  const std::string identifier = packageInfo_["Package"].asString();
  if (!tree.problems.empty()) {
    resolutionSection_ = {row({{"header", "Can't Be Installed"}})};
    for (const auto& problem : tree.problems)
      resolutionSection_.push_back(row({{"subtitle", problem}, {"cellStyle", "subtitle"}, {"subtitleColor", "#FF453A"}}));
    installButton_->setEnabled(false);
  } else {
    resolutionSection_.clear();
    for (const auto& change : tree.changes) {
      if (change.identifier == identifier) continue;
      auto record = KVRPackage::objectsWhere("identifier ==[c] %@", Value(change.identifier)).first();
      std::string name = record && record->name() && !record->name()->empty() ? *record->name() : change.identifier;
      std::string what = change.kind == APTPlannedChange::Remove      ? NSLocalizedString("removed")
                         : change.kind == APTPlannedChange::Install   ? NSLocalizedFormat("install %@", {change.toVersion})
                         : change.kind == APTPlannedChange::Reinstall ? NSLocalizedFormat("reinstall %@", {change.toVersion})
                                                                      : change.fromVersion + " \u2192 " + change.toVersion;
      if (resolutionSection_.empty()) resolutionSection_.push_back(row({{"header", "Dependencies"}}));
      resolutionSection_.push_back(row({{"title", name}, {"subtitle", what}, {"cellStyle", "subtitle"}}));
    }
    installButton_->setEnabled(installable_);
  }
  showSections();
}

void ImportedPackageViewController::showSections() {
  Value::Array sections = infoSections_;
  if (!resolutionSection_.empty()) sections.push_back(section(resolutionSection_));
  sections.push_back(section(rawSection_));
  setData(Value::dict({{"title", title()}, {"sections", Value(std::move(sections))}}));
}

void ImportedPackageViewController::showError(const std::string& title, const std::string& detail) {
  KVLog("The package file %s could not be read: %s", packagePath_.c_str(), detail.c_str());
  installButton_->setEnabled(false);
  setData(Value::dict({{"title", Files::lastPathComponent(packagePath_)},
                       {"sections", Value::array({section({row({{"title", title},
                                                                {"subtitle", detail},
                                                                {"cellStyle", "subtitle"},
                                                                {"subtitleColor", "#FF453A"}})})})}}));
}

void ImportedPackageViewController::paletteDidChange(const std::shared_ptr<KVPalette>& palette) {
  RootViewController::paletteDidChange(palette);
  if (tableView()) tableView()->reloadData();
}

void ImportedPackageViewController::dismiss() {
  if (ownsLocalFile_) DeviceFiles::removeItem(localPackagePath_);
  dismissViewControllerAnimated(true);
}

void ImportedPackageViewController::install() {
  std::string identifier = packageInfo_["Package"].asString();
  if (identifier.empty() || !installButton_->isEnabled()) return;
  KVConfirmationInputs inputs;
  std::string name = packageInfo_["Name"].asString();
  inputs.archive = KVLocalArchive{localPackagePath_, identifier, name.empty() ? identifier : name,
                                  packageInfo_["Version"].asString(), packageInfo_["Description"].asString(),
                                  packageInfo_["Maintainer"].asString()};
  // The confirmation holds the file from now on: it installs it with the queue, or
  // deletes it when cancelled.
  ownsLocalFile_ = false;
  // What presented this screen (the tab bar) presents the confirmation once this screen
  // is gone; nothing of the screen is needed after its dismissal.
  UIViewController* presenting = presentingViewController();
  std::weak_ptr<UIViewController> presenter = presenting ? presenting->weak_from_this() : std::weak_ptr<UIViewController>();
  auto confirmation = KVScreens::inNavigation(context_.screens->confirmation(std::move(inputs)));
  dismissViewControllerAnimated(true, [presenter, confirmation] {
    if (auto host = presenter.lock()) host->presentViewController(confirmation, true);
  });
}
