#include "database/KVIndexEntry.h"

#include "core/DebianNames.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVStanza.h"
#include "database/TweakCompatibilityManager.h"

namespace {

std::string lowerCased(std::string_view text) {
  std::string out(text);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::optional<std::string> field(const KVStanza& stanza, std::string_view name) {
  auto value = stanza.find(name);
  if (!value) return std::nullopt;
  return std::string(*value);
}

std::vector<std::string> itemsOf(const KVStanza& stanza, std::string_view name) {
  auto value = stanza.find(name);
  if (!value) return {};
  return KVParsingUtility::arrayOfItemsFromControlFieldViews(KVParsingUtility::componentViewsOfControlField(value));
}

std::optional<std::string> nonEmpty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

namespace {
// The characters a path component keeps as they are, beside the unreserved ones.
constexpr std::string_view kPathAllowed = "/!$&'()*+,;=:@";
}  // namespace

void KVIndexEntry::Context::setLocation(std::string value) {
  location = std::move(value);
  locationURL = URL::fromString(location);
  fileLocationPrefix_.clear();
  if (!locationURL) return;
  // What appending any name gives in front of the name: the location without its query
  // and trailing slashes, then one slash.
  std::string probe = locationURL->URLByAppendingPathComponent("x").absoluteString();
  if (probe.size() >= 2 && probe.compare(probe.size() - 2, 2, "/x") == 0) fileLocationPrefix_ = probe.substr(0, probe.size() - 1);
}

std::string KVIndexEntry::Context::fileLocation(std::string_view filename) const {
  if (!locationURL) {
    std::string joined = location;
    if (!joined.empty() && joined.back() != '/') joined.push_back('/');
    return joined.append(filename);
  }
  if (fileLocationPrefix_.empty()) return locationURL->URLByAppendingPathComponent(std::string(filename)).absoluteString();
  // The name encoded is all characters an address may hold, so the joined text is the
  // address the URL would make of it.
  while (!filename.empty() && filename.front() == '/') filename.remove_prefix(1);
  return fileLocationPrefix_ + URL::percentEncode(filename, kPathAllowed);
}

std::optional<KVIndexEntry> KVIndexEntry::fromStanza(const KVStanza& stanza, const Context& context) {
  auto package = stanza.find("Package");
  if (!package) return std::nullopt;
  KVIndexEntry entry;
  entry.identifier = lowerCased(*package);
  if (entry.identifier.empty()) return std::nullopt;
  auto version = stanza.find("Version");
  if (!DebianNames::isPackageName(entry.identifier) || !version || !DebianNames::isVersion(*version)) {
    entry.refused = true;
    entry.package = std::string(*package);
    entry.version = version ? std::string(*version) : std::string();
    return entry;
  }
  entry.version = std::string(*version);

  // Views into the stanza, which outlives the entry's making.
  auto clauses = KVParsingUtility::componentViewsOfControlField(stanza.find("Depends"));
  if (auto preDepends = stanza.find("Pre-Depends")) {
    auto more = KVParsingUtility::componentViewsOfControlField(preDepends);
    clauses.insert(clauses.end(), more.begin(), more.end());
  }
  std::string minVersion, maxVersion;
  entry.dependencies = KVParsingUtility::arrayOfDependenciesFromControlFieldViews(
      clauses, context.showIncompatiblePackages, &entry.incompatible, &minVersion, &maxVersion, context.systemVersion);
  entry.incompatible = entry.incompatible && !context.showIncompatiblePackages;

  if (auto filename = stanza.find("Filename")) entry.fileLocation = context.fileLocation(*filename);
  entry.name = stanza.value("Name", entry.identifier);
  if (entry.incompatible) return entry;  // the rest is never stored

  // "Tag" and "tag" are one field to the stanza, whichever spelling the index used.
  auto tag = stanza.find("Tag");
  entry.paid = tag && tag->find("cydia::commercial") != std::string_view::npos;
  auto essential = stanza.find("Essential");
  entry.essential = essential && lowerCased(*essential) == "yes";
  std::string name;
  KVParsingUtility::setContactFromField(stanza.value("Author", stanza.value("Maintainer", "Generic")), &name,
                                        &entry.contact);
  entry.maintainer = KVRPackage::foldedMaintainerName(name);
  entry.category = stanza.value("Section", "Default");
  entry.description = field(stanza, "Description");
  entry.website = field(stanza, "Depiction");
  auto icon = field(stanza, "Icon");
  entry.iconURL = icon ? *icon : KVRPackage::defaultIconURLForIdentifier(entry.identifier);
  entry.size = stanza.value("Size");
  entry.minosversion = nonEmpty(minVersion);
  entry.maxosversion = nonEmpty(maxVersion);
  // The four spellings of this field are one to the stanza.
  entry.sileoDepiction = field(stanza, "SileoDepiction");
  entry.rawPackage = field(stanza, "rawPackage");
  entry.tweakCompatibleStatus = TweakCompatibilityManager::sharedCompatibilityForBundle(entry.identifier, entry.version);
  entry.postinstallaction = KVRPackage::postinstallactionFor(entry.identifier, entry.dependencies);
  entry.conflicts = itemsOf(stanza, "Conflicts");
  entry.provides = itemsOf(stanza, "Provides");
  entry.replaces = itemsOf(stanza, "Replaces");
  return entry;
}
