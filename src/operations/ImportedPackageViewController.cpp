#include "operations/ImportedPackageViewController.h"

#include "core/KVPipelineManager.h"
#include "core/ShellCommand.h"
#include "database/KVParsingUtility.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/StringEncoding.h"
#include "interface/KVScreens.h"
#include "operations/KVPackageDPKGInstallTask.h"
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
  Value::Array raw{row({{"header", "Raw Info"}}),
                   row({{"title", "Control"}, {"subtitle", stanza->value("rawPackage")}, {"cellStyle", "subtitle"}})};
  Value::Array sections{section(std::move(info)), section(std::move(raw))};
  if (stanza->value("Package") == kApplicationIdentifier) {
    sections.insert(sections.begin(),
                    section({row({{"header", "Warnings"}}),
                             row({{"subtitle",
                                   "Quillbark cannot be installed using the Open In method, please install from the "
                                   "official repo"},
                                  {"cellStyle", "subtitle"},
                                  {"subtitleColor", "#FF453A"}})}));
    installButton_->setEnabled(false);
  }
  std::string title = stanza->value("Name");
  if (title.empty()) title = stanza->value("Package");
  setData(Value::dict({{"title", title}, {"sections", Value(std::move(sections))}}));
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
  // What presented this screen (the tab bar) presents the log once this screen is gone;
  // nothing of the screen is needed after its dismissal.
  UIViewController* presenting = presentingViewController();
  std::weak_ptr<UIViewController> presenter = presenting ? presenting->weak_from_this() : std::weak_ptr<UIViewController>();
  auto log = context_.screens->verboseLog();
  std::string path = localPackagePath_;
  dismissViewControllerAnimated(true, [presenter, log, path, identifier] {
    auto host = presenter.lock();
    if (!host) return;
    host->presentViewController(std::make_shared<UINavigationController>(log), true, [path, identifier] {
      // The task installs the file, reads the dpkg status back and deletes the file.
      KVPipelineManager::sharedManager().queueTask(std::make_shared<KVPackageDPKGInstallTask>(path, identifier));
    });
  });
}
