#include "database/KVRPackage.h"

#include <algorithm>
#include <set>

#include "core/NSStringHash.h"
#include "foundation/Files.h"
#include "system/DeviceRoot.h"

namespace {

// The keys that screens and managers query go through an index; the file's format is
// ours, the property list is the records'.
void customize(store::ObjectSchema& schema) {
  store::record::adjustProperties(schema, [](store::Property& p) {
    if (p.name == "identifier") p.primaryKey();
    if (p.name == "sourceLocation") p.indexed();
    // The few installed or queued among all: the status import looks for those only it
    // marked, the Manage tab lists the installed ones by install date (a key not kept in
    // memory) after every commit that changes packages, the queue and the tab bar ask
    // for the queued ones. An index of the set rows alone costs the insert of a package
    // nothing, where one of every row cost a refresh's writes a twelfth.
    if (p.name == "isInstalledUsingAnotherPM" || p.name == "isInstalled" || p.name == "isInTheQueue")
      p.indexedWhenSet();
    // What the package lists, their sections, the search and the caches over every
    // package ask of each record: kept in memory too, so they need not read the file.
    static const std::set<std::string> held = {"identifier", "name",      "maintainer",           "category",
                                               "subcategory", "sourceLocation", "updatedDateStr", "tweakCompatibleStatus",
                                               "isInstalled", "isUpdated", "isHeld",               "hasNewVersion",
                                               "isPaidThroughSileo"};
    if (held.count(p.name)) p.heldInMemory();
    // The lists' first key and the search's: their first use after a start finds their
    // order and folded texts worked out.
    if (p.name == "name") p.preparedInMemory();
    if (p.name == "availableVersions") p.linkTo("KVRPackageVersion", true);  // the versions belong to the package
  });
}

}  // namespace

KVR_RECORD_IMPL(KVRPackage, KVRPACKAGE_PROPERTIES, customize)

const char* const KVRPackage::kFoldedMaintainerAlias = "Corwin Vale";

Value KVRPackage::defaultPropertyValues() { return Value::dict({{"isInstalled", false}, {"isHeld", false}}); }

std::optional<std::string> KVRPackage::unfinishedInstallText(const std::optional<std::string>& installState,
                                                             bool capitals) {
  if (!installState || installState->empty()) return std::nullopt;
  if (*installState == kHalfInstalledState) return std::string(capitals ? "NOT FULLY INSTALLED" : "not fully installed");
  return std::string(capitals ? "NEEDS CONFIGURING" : "needs configuring");
}

std::optional<std::string> KVRPackage::unfinishedInstallText(bool capitals) const {
  if (!isInstalled().value_or(false)) return std::nullopt;
  return unfinishedInstallText(installState(), capitals);
}

bool KVRPackage::isForAnotherArchitecture() const {
  const auto& offered = architecture();
  return offered && !offered->empty() && *offered != "all" && *offered != DeviceRoot::kArchitecture;
}

bool KVRPackage::isFree() const {
  if (!price() || price()->empty()) return true;
  const std::string& p = *price();
  if (p == "0" || p == "0.00") return true;
  std::string lower = p;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower == "free";
}

std::string KVRPackage::iconPath() const {
  std::string folder = Files::appendingPathComponent(DeviceRoot::devicePath(DeviceRoot::kApplicationSupport), "IconCache");
  return Files::appendingPathComponent(folder, NSStringHash::MD5Hash(iconURL().value_or("")) + ".png");
}

std::string KVRPackage::defaultIconURLForIdentifier(const std::string& identifier) {
  std::string out;
  defaultIconURLForIdentifierInto(out, identifier);
  return out;
}

void KVRPackage::defaultIconURLForIdentifierInto(std::string& out, std::string_view identifier) {
  out.assign("https://icons.store.example/icon@2x/").append(identifier).append(".png");
}

std::string KVRPackage::foldedMaintainerName(const std::string& name) {
  std::string folded = name;
  foldMaintainerName(folded);
  return folded;
}

void KVRPackage::foldMaintainerName(std::string& name) {
  if (name == "Corwin Vale" || name == "Corwin Vale & Ilse Marr") name = kFoldedMaintainerAlias;
}

std::string KVRPackage::postinstallactionFor(const std::string& identifier, const TextList& dependencies) {
  for (const auto& d : dependencies) {
    if (d == "mobilesubstrate" || d == kSubstituteIdentifier) return "respring";
  }
  return identifier == kApplicationIdentifier ? "respring" : "";
}
