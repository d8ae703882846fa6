// The settings' two pickers: the interface language, and the URL schemes the application
// answers to (written into its own Info.plist).
#include <algorithm>

#include "core/KVConnections.h"
#include "core/KVPipelineManager.h"
#include "core/KVPlatform.h"
#include "core/NSBundleLocalizedBundle.h"
#include "core/NSStringKorvaleExtensions.h"
#include "core/QuillbarkPersistentPreferences.h"
#include "core/ShellCommand.h"
#include "foundation/BlockHelpers.h"
#include "foundation/Files.h"
#include "foundation/LocalizedStrings.h"
#include "foundation/Log.h"
#include "foundation/WeakSelf.h"
#include "interface/KVApplicationActions.h"
#include "interface/KVUIPickerCell.h"
#include "interface/SettingsPlistViewController.h"
#include "system/DeviceFiles.h"
#include "system/DeviceRoot.h"

namespace {
constexpr const char* kActiveURLSchemesKey = "kActiveURLSchemes";
constexpr const char* kApplicationBundle = "/Applications/Quillbark.app";

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (const auto& part : parts) out += (out.empty() ? "" : separator) + part;
  return out;
}

// The schemes of the first URL type of the application's Info.plist.
std::vector<std::string> listedSchemes() {
  auto info = Value::fromPropertyListFile(SettingsPlistViewController::applicationInfoPath());
  std::vector<std::string> schemes;
  if (!info) return schemes;
  if (auto* items = (*info)["CFBundleURLTypes"][0]["CFBundleURLSchemes"].arrayPtr())
    for (const Value& scheme : *items) schemes.push_back(scheme.asString());
  return schemes;
}

// Package work that a language change must not abandon: a confirmed queue being
// downloaded or installed.
bool packageWorkListed() {
  for (const auto& task : KVPipelineManager::sharedManager().tasksArray()) {
    std::string pipeline = task->pipelineID();
    if (pipeline == KVPipelinePackageDownloadOperation || pipeline == KVPipelinePackageATPInstallOperation ||
        pipeline == KVPipelinePackageOperation)
      return true;
  }
  return false;
}
}  // namespace

// ---- Language

std::string SettingsPlistViewController::initialLocaleValue() const {
  std::string code = NSBundleLocalizedBundle::storedLanguage().value_or(LocalizedStrings::language());
  auto available = LocalizedStrings::availableLanguages();
  return std::find(available.begin(), available.end(), code) != available.end() ? code : "en";
}

void SettingsPlistViewController::resetLocale() { changeLanguage(std::nullopt); }

void SettingsPlistViewController::changeLanguage(const std::optional<std::string>& code) {
  auto weak = weakSelf(this);
  auto reload = [weak] {
    if (auto self = weak.lock())
      if (self->tableView()) self->tableView()->reloadData();
  };
  if (packageWorkListed()) {
    // Changing the language stops every task: not while packages are on their way.
    reportFailure("Language", NSLocalizedString("The language can't be changed while packages are being downloaded or "
                                                "installed. Try again once their tasks have ended."));
    performAfterWithBlock(0, reload);  // the picker shows the language in use again
    return;
  }
  NSBundleLocalizedBundle::setLanguage(code);
  KVPipelineManager::sharedManager().cancelAllTasksAndDontNotify();
  performAfterWithBlock(0, reload);
  // The interface is made again in the new language; this screen goes with the old one.
  performAfterWithBlock(1, [actions = context_.actions] { actions->reinitializeApplication(); });
}

void SettingsPlistViewController::pickerCellDidFinalizeSelectionWithRow(KVUIPickerCell&, long, const Value& value) {
  std::string choice = value.asString();
  if (choice.find("quillbark") != std::string::npos) {
    setActiveURLSchemes(NSStringKorvaleExtensions::componentsSeparatedByCharacter(choice, ','));
    return;
  }
  // Closing the picker on the language in use changes nothing.
  if (choice.empty() || choice == initialLocaleValue()) return;
  changeLanguage(choice);
}

// ---- URL schemes

std::string SettingsPlistViewController::activeURLSchemes() const {
  if (auto stored = QuillbarkPersistentPreferences::sharedInstance().stringForKey(kActiveURLSchemesKey)) return *stored;
  auto schemes = listedSchemes();
  std::string active = "quillbark";
  for (const char* other : {"cydia", "sileo"})
    if (std::find(schemes.begin(), schemes.end(), other) != schemes.end()) active += std::string(",") + other;
  return active;
}

void SettingsPlistViewController::rehookURLSchemes() {
  auto stored = QuillbarkPersistentPreferences::sharedInstance().stringForKey(kActiveURLSchemesKey);
  setActiveURLSchemes(NSStringKorvaleExtensions::componentsSeparatedByCharacter(stored.value_or(""), ','));
}

bool SettingsPlistViewController::setActiveURLSchemes(const std::vector<std::string>& schemes) {
  const std::string path = applicationInfoPath();
  auto fail = [this](const std::string& reason) {
    reportFailure("URL Schemes", reason);
    if (tableView()) tableView()->reloadData();  // the picker shows the schemes in force
    return false;
  };
  auto bytes = Files::read(path);
  if (!bytes) {
    KVLog("URLScheme INFO READ ERROR %s", ("cannot read " + path).c_str());
    return fail(NSLocalizedString("The application's information file could not be read."));
  }
  std::string error;
  auto info = Value::fromPropertyList(*bytes, &error);
  Value* types = info && info->isDictionary() ? &(*info->dictionaryPtr())["CFBundleURLTypes"] : nullptr;
  if (!types || !types->arrayPtr() || types->arrayPtr()->empty() || !types->arrayPtr()->front().isDictionary()) {
    KVLog("URLScheme INFO has no URL types: %s", error.empty() ? path.c_str() : error.c_str());
    return fail(NSLocalizedString("The application's information file lists no URL types."));
  }
  Value list(Value::Array{});
  for (const auto& scheme : schemes) list.push_back(scheme);
  types->arrayPtr()->front().set("CFBundleURLSchemes", list);
  // Through a new file and a rename: a list cut short would leave the application with
  // no information file at all.
  if (!DeviceFiles::writeAtomically(path, info->toBinaryPropertyList(), &error)) {
    KVLog("URLScheme INFO WRITE ERROR %s", error.c_str());
    return fail(NSLocalizedString("The application's information file could not be written."));
  }
  QuillbarkPersistentPreferences::sharedInstance().setValue(Value(joined(schemes, ",")), kActiveURLSchemesKey);
  int tool = KVPlatform::jailbreakTool();
  std::string line = ShellCommand::quote(DeviceRoot::devicePath("/usr/bin/uicache"));
  if (tool >= 1 && tool <= 4) line += std::string(" -p ") + ShellCommand::quote(kApplicationBundle);
  int status = KVConnections::current("SettingsPlistViewController")->environment.runCommand(line);
  if (status != 0) KVLog("The application cache rebuild ended with status %d", status);
  return true;
}
