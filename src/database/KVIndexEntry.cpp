#include "database/KVIndexEntry.h"

#include "core/DebianNames.h"
#include "database/KVParsingUtility.h"
#include "database/KVRPackage.h"
#include "database/KVStanza.h"
#include "database/TweakCompatibilityManager.h"

namespace {

// Views reused from one stanza to the next on this thread.
std::vector<std::string_view>& scratchViews() {
  thread_local std::vector<std::string_view> views;
  views.clear();
  return views;
}

void itemsOf(const KVStanza& stanza, std::string_view name, TextList& out) {
  auto value = stanza.find(name);
  if (!value) {
    out.clear();
    return;
  }
  std::vector<std::string_view>& views = scratchViews();
  KVParsingUtility::appendComponentViewsOfControlField(views, value);
  KVParsingUtility::arrayOfItemsFromControlFieldViews(views, out);
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
  std::string out;
  fileLocationInto(out, filename);
  return out;
}

void KVIndexEntry::Context::fileLocationInto(std::string& out, std::string_view filename) const {
  if (!locationURL) {
    out.assign(location);
    if (!out.empty() && out.back() != '/') out.push_back('/');
    out.append(filename);
    return;
  }
  if (fileLocationPrefix_.empty()) {
    out = locationURL->URLByAppendingPathComponent(std::string(filename)).absoluteString();
    return;
  }
  // The name encoded is all characters an address may hold, so the joined text is the
  // address the URL would make of it.
  while (!filename.empty() && filename.front() == '/') filename.remove_prefix(1);
  out.assign(fileLocationPrefix_);
  URL::appendPercentEncoded(out, filename, kPathAllowed);
}

namespace {
// Fills a field in place: a text keeps its room.
void assign(std::optional<std::string>& field, std::string_view value) {
  if (field) field->assign(value);
  else field.emplace(value);
}
void assign(std::optional<std::string>& field, std::optional<std::string_view> value) {
  if (value) assign(field, *value);
  else field.reset();
}
bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[i])) != lower[i]) return false;
  return true;
}
}  // namespace

bool KVIndexEntry::read(const KVStanza& stanza, const Context& context) {
  prepared = false;
  auto packageField = stanza.find("Package");
  if (!packageField) return false;
  if (!record) record = std::make_unique<KVRPackage>();
  KVRPackage& r = *record;
  std::string& identifier = r.identifierField();
  identifier.assign(*packageField);
  DebianNames::makeRecordIdentifier(identifier);
  if (identifier.empty()) return false;
  auto version = stanza.find("Version");
  refused = !DebianNames::isPackageName(identifier) || !version || !DebianNames::isVersion(*version);
  incompatible = false;
  essential = false;
  assign(r.versionField(), version.value_or(std::string_view()));
  if (refused) {
    package.assign(*packageField);
    return true;
  }

  // Views into the stanza, which outlives the entry's making.
  std::vector<std::string_view>& clauses = scratchViews();
  KVParsingUtility::appendComponentViewsOfControlField(clauses, stanza.find("Depends"));
  KVParsingUtility::appendComponentViewsOfControlField(clauses, stanza.find("Pre-Depends"));
  std::string minVersion, maxVersion;
  KVParsingUtility::arrayOfDependenciesFromControlFieldViews(clauses, context.showIncompatiblePackages, &incompatible,
                                                            &minVersion, &maxVersion, context.systemVersion,
                                                            r.dependenciesField());
  incompatible = incompatible && !context.showIncompatiblePackages;

  if (auto filename = stanza.find("Filename")) {
    auto& location = r.locationField();
    if (!location) location.emplace();
    context.fileLocationInto(*location, *filename);
  } else {
    r.locationField().reset();
  }
  assign(r.nameField(), stanza.find("Name").value_or(std::string_view(identifier)));
  if (incompatible) return true;  // the rest is never stored
  assign(r.architectureField(), stanza.find("Architecture"));

  // "Tag" and "tag" are one field to the stanza, whichever spelling the index used.
  auto tag = stanza.find("Tag");
  assign(r.priceField(),
         std::string_view(tag && tag->find("cydia::commercial") != std::string_view::npos ? "Paid" : "Free"));
  auto essentialField = stanza.find("Essential");
  essential = essentialField && equalsIgnoringCase(*essentialField, "yes");
  r.isEssentialField() = essential;
  auto author = stanza.find("Author");
  auto maintainer = author ? author : stanza.find("Maintainer");
  auto& contact = r.contactField();
  if (contact) contact->clear();
  else contact.emplace();
  auto& name = r.maintainerField();
  if (!name) name.emplace();
  KVParsingUtility::setContactFromField(maintainer ? *maintainer : std::string_view("Generic"), &*name, &*contact);
  KVRPackage::foldMaintainerName(*name);
  assign(r.categoryField(), stanza.find("Section").value_or(std::string_view("Default")));
  assign(r.DescriptionField(), stanza.find("Description"));
  assign(r.websiteField(), stanza.find("Depiction"));
  if (auto icon = stanza.find("Icon")) {
    assign(r.iconURLField(), *icon);
  } else {
    auto& iconURL = r.iconURLField();
    if (!iconURL) iconURL.emplace();
    KVRPackage::defaultIconURLForIdentifierInto(*iconURL, identifier);
  }
  assign(r.sizeField(), stanza.find("Size").value_or(std::string_view()));
  if (minVersion.empty()) r.minosversionField().reset();
  else r.minosversionField() = std::move(minVersion);
  if (maxVersion.empty()) r.maxosversionField().reset();
  else r.maxosversionField() = std::move(maxVersion);
  // The four spellings of this field are one to the stanza.
  assign(r.sileoDepictionField(), stanza.find("SileoDepiction"));
  assign(r.rawPackageField(), stanza.find("rawPackage"));
  r.tweakCompatibleStatusField() = TweakCompatibilityManager::sharedCompatibilityForBundle(identifier, *r.version());
  r.postinstallactionField() = KVRPackage::postinstallactionFor(identifier, r.dependencies());
  itemsOf(stanza, "Conflicts", r.conflictsField());
  itemsOf(stanza, "Provides", r.providesField());
  itemsOf(stanza, "Replaces", r.replacesField());
  return true;
}

std::optional<KVIndexEntry> KVIndexEntry::fromStanza(const KVStanza& stanza, const Context& context) {
  KVIndexEntry entry;
  if (!entry.read(stanza, context)) return std::nullopt;
  return entry;
}
